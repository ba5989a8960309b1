#!/usr/bin/env bash
# Checks a service unit (the bridge's, the SiLA server's) with systemd-analyze verify, as an instance and with its
# program at the built dosetta-cli; any complaint (an unknown or misspelt setting, a value
# systemd cannot parse, a program that is not there) fails it.
#
#   unit_check.sh <unit file> <dosetta-cli>
set -euo pipefail
unit=$1 program=$2

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

command -v systemd-analyze >/dev/null ||
    fail "systemd-analyze is missing: scripts/deps.sh installs systemd"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
name=$(basename "$unit")
instance="$scratch/${name/@./@check.}"
# Quoted: the build may sit in a folder whose name holds a blank.
sed "s|^ExecStart=/usr/bin/dosetta-cli |ExecStart=\"$program\" |" "$unit" >"$instance"
grep -qF "ExecStart=\"$program\" " "$instance" || fail "no ExecStart=/usr/bin/dosetta-cli in $unit"
# Verify reports a setting it ignores on standard error and still succeeds: its output counts.
said=$(systemd-analyze verify --man=no "$instance" 2>&1) || fail "systemd-analyze verify: $said"
[ -z "$said" ] || fail "systemd-analyze verify complains: ${said//$scratch\//}"
echo "$(basename "$unit") verified by $(systemd-analyze --version | head -n 1)"
