#!/usr/bin/env bash
# Checks a service unit (the bridge's, the SiLA server's) with systemd-analyze verify, as an instance and with its
# program at the built dosetta-cli; any complaint (an unknown or misspelt setting, a value
# systemd cannot parse, a program that is not there) fails it, and so does an exposure score
# above 3.0 from systemd-analyze security.
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
sed -e "s|^ExecStart=/usr/bin/dosetta-cli |ExecStart=\"$program\" |" \
    -e "s|^ExecStopPost=-/usr/bin/dosetta-cli |ExecStopPost=-\"$program\" |" "$unit" >"$instance"
grep -qF "ExecStart=\"$program\" " "$instance" || fail "no ExecStart=/usr/bin/dosetta-cli in $unit"
# However the service ends, what it left going on its pumps is stopped.
grep -qE "^ExecStopPost=-\"$program\" (serve|sila) .*--stop-left" "$instance" ||
    fail "no ExecStopPost= with --stop-left in $unit"
# Verify reports a setting it ignores on standard error and still succeeds: its output counts.
said=$(systemd-analyze verify --man=no "$instance" 2>&1) || fail "systemd-analyze verify: $said"
[ -z "$said" ] || fail "systemd-analyze verify complains: ${said//$scratch\//}"
# The sandbox: systemd's own exposure score, read from the file alone, at most 3.0 ("OK").
report=$(systemd-analyze security --offline=yes --no-pager "$instance" 2>&1) ||
    fail "systemd-analyze security: $report"
score=$(sed -n 's/^→ Overall exposure level for .*: \([0-9][0-9]*\.[0-9]\).*/\1/p' <<<"$report")
[ -n "$score" ] || fail "no exposure level in: $(tail -n 3 <<<"$report")"
awk -v s="$score" 'BEGIN { exit !(s <= 3.0) }' ||
    fail "exposure $score is above 3.0; not restricted: $(grep '✗' <<<"$report" | cut -c1-60)"
echo "$(basename "$unit") verified by $(systemd-analyze --version | head -n 1); exposure $score"
