#!/usr/bin/env bash
# Builds DOSETTA and runs it against the pump simulator: fluxo-sim on a pseudo-terminal at 9600
# baud, the program preset (in a settings directory of its own) to that port and the pump's
# address, so the window comes up already talking to the pump. Closing the window stops the
# simulator. Installs what is missing first.
#
#   DOSETTA_DEMO_SECONDS=N  close the program after N seconds (used by the test suite)
#   DOSETTA_DEMO_SIM_LOG=F  write the simulator's frame log to F
#   DOSETTA_DEMO_SIM_INPUT=F make the simulator's command input the new FIFO F: lines written
#                           to it are its stdin commands ("error overpressure on")
#   DOSETTA_DEMO_RECORD=F   record the run into the new CSV file F (dosetta --record F)
#   DOSETTA_BUILD_DIR=D     build in D (default: build), relative to the source tree or absolute
#   DOSETTA_DEMO_NO_BUILD=1 run what D holds already: no package check, no build (the test suite
#                           runs the demo from inside its own build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "demo: no display found; run it under a virtual one: xvfb-run -a scripts/demo.sh" >&2
    exit 1
fi

build=${DOSETTA_BUILD_DIR:-build}
case "$build" in
    /*) bin="$build/bin" ;;
    *) bin="$root/$build/bin" ;;
esac
if [ -z "${DOSETTA_DEMO_NO_BUILD:-}" ]; then
    scripts/deps.sh
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j2 --target dosetta fluxo-sim help_collection translations >/dev/null
elif [ ! -x "$bin/dosetta" ] || [ ! -x "$bin/fluxo-sim" ]; then
    echo "demo: nothing built in $bin; run it once without DOSETTA_DEMO_NO_BUILD" >&2
    exit 1
fi

work=$(mktemp -d)
sim_pid=""
tail_pid=""
cleanup() {
    [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

address=1
sim_log=${DOSETTA_DEMO_SIM_LOG:-/dev/null}
# The simulator keeps reading commands on its standard input (faults can be typed there); a
# FIFO held open keeps it from seeing end of input.
sim_input=${DOSETTA_DEMO_SIM_INPUT:-$work/sim-stdin}
mkfifo "$sim_input"
exec 3<>"$sim_input"
"$bin/fluxo-sim" --address "$address" --baud 9600 --log <&3 >"$work/sim-out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim-out" ] && break
    sleep 0.05
done
port=$(head -n 1 "$work/sim-out")
case "$port" in
    /dev/*) ;;
    *) echo "demo: the simulator did not start: $port" >&2; exit 1 ;;
esac
tail -n +2 -f "$work/sim-out" >"$sim_log" 2>/dev/null &
tail_pid=$!
echo "demo: simulated FLUXO 10 at address $address on $port"

# This copy's settings: the simulator's port and address, in a settings directory of its own.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Halvo Dorvex"
# Every copy keeps its own group; preset the first few in case other copies are running.
for n in 1 2 3 4 5 6 7 8; do
    printf '[DOSETTA_INSTANCE_%d]\nCommunication\\Address=%d\nCommunication\\Port%%29=%s\n\n' \
        "$n" "$address" "$port"
done >"$XDG_CONFIG_HOME/Halvo Dorvex/Fluxo Remote Control.conf"
export DOSETTA_PORTS="$port"

record=()
[ -n "${DOSETTA_DEMO_RECORD:-}" ] && record=(--record "$(realpath -m "$DOSETTA_DEMO_RECORD")")
cd "$bin"
if [ -n "${DOSETTA_DEMO_SECONDS:-}" ]; then
    timeout --signal=TERM "$DOSETTA_DEMO_SECONDS" ./dosetta "${record[@]}" || true
else
    ./dosetta "${record[@]}"
fi
