#!/usr/bin/env bash
# Completes dosetta-cli command lines with the bash completion file and the built program, as
# readline splits them ("=" is a word of its own). Exits 77 (skipped) without bash-completion.
#
#   completion_check.sh <completion file> <folder of dosetta-cli>
# shellcheck disable=SC1090,SC1091
[ -r /usr/share/bash-completion/bash_completion ] || { echo "bash-completion is missing"; exit 77; }
source /usr/share/bash-completion/bash_completion
source "$1"
PATH=$2:$PATH
failed=0
expect() { # expect "completions in C order" word...
    local want=$1 line got
    shift
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    line="$*" COMP_LINE=${line// = /=} COMP_POINT=${#COMP_LINE}
    _dosetta_cli dosetta-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
    [ "$got" = "$want" ] || { echo "FAIL: '$*' gives '$got', not '$want'"; failed=1; }
}
expect "search serve set sila start status stop" dosetta-cli s
expect "flow-rate fluid" dosetta-cli get fl
expect "off on" dosetta-cli set autostart o
expect "dispense-time" dosetta-cli --port = /dev/null --address 1 set dis
expect "VISCOSITY\\ 100cSt VISCOSITY\\ 500cSt" dosetta-cli set fluid v
expect "Reset Reset\\ \\&\\ Prime" dosetta-cli set digital-in2 Re
expect "--help --rate --volume --wait" dosetta-cli dispense --
expect "" dosetta-cli get calibration-v
expect "--no-allow-config --no-allow-control" dosetta-cli serve --no-allow-c
expect "--name --no-allow-config --no-allow-control --no-discovery" dosetta-cli sila --n
expect "--path --pump" dosetta-cli journal --p
expect "run-end run-start" dosetta-cli journal --kind run
expect "--file --help" dosetta-cli journal verify --
[ $failed = 0 ] && echo "completion checked"
exit $failed
