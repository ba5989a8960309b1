#!/usr/bin/env bash
# Soak run, by hand (not part of the suite): DOSETTA polls the simulated pump for half an hour
# while about 10 % of the answers are faulty (4 % with a noise byte first, 3 % dropped, and wrong
# check characters for 300 ms in every 10 s). Resident memory of the program is sampled from /proc
# every minute; after the run it must be within 5 MB of its value after the first minute. At the
# same time the window runs in process (test reliability_soakviews) with the polled traffic shown,
# and checks that both traffic views fill to 500 paragraphs and stay there.
#
#   DURATION=S             length of the run in seconds (default 1800)
#   DOSETTA_BUILD_DIR=D    build directory (default build)
#   SOAK_OUT=DIR           keep the logs and samples there (default: a temporary directory)
#
# Exit status 0 when every check held. Needs a built tree; builds the few targets it uses.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
duration=${DURATION:-1800}
build=${DOSETTA_BUILD_DIR:-build}
rss_bound_kb=$((5 * 1024))
export QT_QPA_PLATFORM=offscreen

scripts/deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target dosetta fluxo-sim help_collection reliability_soakviews \
    >/dev/null
case "$build" in
    /*) bin="$build/bin" ;;
    *) bin="$root/$build/bin" ;;
esac

if [ -n "${SOAK_OUT:-}" ]; then
    work=$SOAK_OUT
    mkdir -p "$work"
else
    work=$(mktemp -d)
fi
sim_pid=""
app_pid=""
view_pid=""
fault_pid=""
cleanup() {
    for pid in $fault_pid $app_pid $view_pid $sim_pid; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    [ -z "${SOAK_OUT:-}" ] && rm -rf "$work"
    return 0
}
trap cleanup EXIT INT TERM

say() { echo "soak: $*" | tee -a "$work/summary.txt"; }
failures=0
fail() { say "FAILED: $*"; failures=$((failures + 1)); }

# The pump, its fault commands through a FIFO held open so that it never sees end of input.
rm -f "$work/sim-stdin"
mkfifo "$work/sim-stdin"
exec 3<>"$work/sim-stdin"
"$bin/fluxo-sim" --address 1 --baud 9600 --seed 17 --log --link "$work/pump" \
    --noise 0.04 --drop 0.03 <&3 >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.05
done
[ -s "$work/sim.out" ] || { echo "soak: the simulator did not start" >&2; exit 1; }
(
    while sleep 9.7; do
        echo "badlrc on"
        sleep 0.3
        echo "badlrc off"
    done
) >&3 &
fault_pid=$!

# The program, preset to the pump's path and address, in settings of its own.
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME/Halvo Dorvex" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[DOSETTA_INSTANCE_1]\nCommunication\\Address=1\nCommunication\\Port%%29=%s\n' \
    "$work/pump" >"$XDG_CONFIG_HOME/Halvo Dorvex/Fluxo Remote Control.conf"
(cd "$bin" && DOSETTA_PORTS="$work/pump" exec nice ./dosetta) >"$work/dosetta.out" \
    2>"$work/dosetta.err" &
app_pid=$!

# The window in process, with the polled traffic shown, for as long (own settings and locks).
(
    export XDG_CONFIG_HOME="$work/view-config" XDG_RUNTIME_DIR="$work/view-run" DOSETTA_PORTS=
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    # QtTest's watchdog would end a test function after five minutes.
    export QTEST_FUNCTION_TIMEOUT=$(((duration + 300) * 1000))
    DOSETTA_SOAK_SECONDS=$duration exec nice "$bin/reliability_soakviews"
) >"$work/views.log" 2>&1 &
view_pid=$!

rss_of() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo -1; }
answered() { grep -c ' tx ' "$work/sim.log" || true; }
say "pump $(head -n 1 "$work/sim.out"), program pid $app_pid, $duration s, logs in $work"
echo "minute rss_kB frames_answered" >"$work/rss.txt"
start=$(date +%s)
rss_first=""
rss_last=""
minute=0
while :; do
    elapsed=$(($(date +%s) - start))
    [ "$elapsed" -ge "$duration" ] && break
    next=$(((minute + 1) * 60))
    [ "$next" -gt "$duration" ] && next=$duration
    sleep $((next - elapsed))
    if ! kill -0 "$app_pid" 2>/dev/null; then
        fail "the program ended during the run"
        break
    fi
    minute=$((minute + 1))
    rss_last=$(rss_of "$app_pid")
    [ -z "$rss_first" ] && rss_first=$rss_last
    echo "$minute $rss_last $(answered)" | tee -a "$work/rss.txt"
done

frames=$(grep -c ' rx ' "$work/sim.log" || true)
faulty=$(grep -c '(fault)' "$work/sim.log" || true)
say "frames received by the pump: $frames, answered: $(answered), faulty answers: $faulty"
if [ -n "$rss_first" ] && [ -n "$rss_last" ]; then
    growth=$((rss_last - rss_first))
    say "program RSS after the first minute ${rss_first} kB, at the end ${rss_last} kB" \
        "(growth ${growth} kB, bound ${rss_bound_kb} kB)"
    [ "$growth" -le "$rss_bound_kb" ] || fail "resident memory grew by ${growth} kB"
fi
# The pump must have been polled in the last minute of the run.
recent=$(awk 'NR > 1 { recent = $3 - last; last = $3 } END { print recent + 0 }' "$work/rss.txt")
[ "${recent:-0}" -gt 50 ] || fail "hardly any answered frames in the last minute: ${recent:-0}"

if kill -0 "$app_pid" 2>/dev/null; then
    kill -TERM "$app_pid"
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    # Killed by SIGTERM (128 + 15) or a clean exit; anything else is a crash.
    if [ "$status" -ne 143 ] && [ "$status" -ne 0 ]; then
        fail "the program ended with status $status on SIGTERM"
    fi
fi

status=0
wait "$view_pid" || status=$?
view_pid=""
grep -E 'QINFO|FAIL|Loc:|Totals' "$work/views.log" | sed 's/^/soak: views: /' |
    tee -a "$work/summary.txt"
[ "$status" -eq 0 ] || fail "the in-process window soak failed (status $status)"

if [ "$failures" -eq 0 ]; then
    say "passed"
else
    say "$failures check(s) failed"
fi
[ "$failures" -eq 0 ]
