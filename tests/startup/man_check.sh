#!/usr/bin/env bash
# Checks a manual page: groff and man find nothing to warn about, and every option the program's
# --help names is described in the page.
#
#   man_check.sh <page source> <program>
set -euo pipefail
page=$1 program=$2

fail() {
    echo "FAIL: $(basename "$page"): $*" >&2
    exit 1
}

warnings=$(groff -ww -z -man -Tutf8 "$page" 2>&1) || fail "groff failed: $warnings"
[ -z "$warnings" ] || fail "groff warns: $warnings"
if command -v man >/dev/null 2>&1; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) ||
        fail "man failed: $warnings"
    [ -z "$warnings" ] || fail "man warns: $warnings"
fi

rendered=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -P-c "$page" 2>/dev/null | sed 's/.\x08//g')
grep -q "^NAME" <<<"$rendered" || fail "no NAME section"
grep -q "^SYNOPSIS" <<<"$rendered" || fail "no SYNOPSIS section"
# Options as --help lists them, at the start of their lines.
options=$(QT_QPA_PLATFORM=offscreen "$program" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' |
    grep -oE -- '--[a-z-]+' | sort -u)
[ -n "$options" ] || fail "$program --help lists no options"
for option in $options; do
    grep -qE -- "$option([^a-z-]|$)" <<<"$rendered" || fail "$option of --help is not described"
done
echo "manual page $(basename "$page") checked: ${options//$'\n'/ }"
