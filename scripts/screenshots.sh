#!/usr/bin/env bash
# Photographs the window for the README: runs the demo (scripts/demo.sh: the program against the
# simulated pump) on a virtual display, starts the pump with a click on Start, and writes to
# doc/screenshots/ the compact screen, each tab of the advanced screen (the Factory tab is for
# service and not part of the demo's window), the window at 200 % scale, and the compact screen
# once the pump reports an error. Not part of the test command; rerun it whenever the screen
# changes, and look at the pictures before committing them.
#
#   DOSETTA_BUILD_DIR=D   build in D (default: build), as for the demo
#   DOSETTA_LANG=de       the window in German instead: the compact screen, the advanced screen
#                         and the error, as de-*.png (the tabs' titles have other widths, so the
#                         tabs one by one are left to the English run)
#
# The clicks go to where the widgets sit in the window (relative to its size where the layout
# allows); the script checks that each one took effect (the pump saw the start, every tab looks
# different) and stops with a message when one did not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/doc/screenshots"

scripts/deps.sh xdotool imagemagick
build=${DOSETTA_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target dosetta fluxo-sim help_collection translations >/dev/null

work=$(mktemp -d)
xvfb_pid=""
demo_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$demo_pid" ] && wait "$demo_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() {
    echo "screenshots: $*" >&2
    exit 1
}

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_for() {
    local tries=$2
    while ! eval "$1" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# One run of the demo at the given scale on a display of its own; the remaining arguments name
# what to photograph: "compact", "tabs" (every tab of the advanced screen), "advanced" or "error"
# (the compact screen after an overpressure and a refused start).
photograph() {
    local scale=$1 prefix=$2
    shift 2
    local sim_log="$work/sim-$scale.log" sim_input="$work/sim-input-$scale"
    : >"$sim_log"
    rm -f "$sim_input"

    # Xvfb picks a free display and writes its number into the FIFO.
    rm -f "$work/display"
    mkfifo "$work/display"
    Xvfb -displayfd 3 -screen 0 2600x1600x24 -nolisten tcp 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local display
    read -r -t 10 display <"$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    export DISPLAY=":$display"

    # The demo closes the program after a minute at the latest; normally the display goes first.
    # Recording, so that the compact screen shows its mark and the Chart tab its file.
    QT_SCALE_FACTOR=$scale DOSETTA_BUILD_DIR="$build" DOSETTA_DEMO_NO_BUILD=1 \
        DOSETTA_DEMO_SECONDS=90 DOSETTA_DEMO_SIM_LOG="$sim_log" \
        DOSETTA_DEMO_SIM_INPUT="$sim_input" \
        DOSETTA_DEMO_RECORD="$work/run-$scale-${*// /-}.csv" \
        scripts/demo.sh >"$work/demo-$scale.log" 2>&1 &
    demo_pid=$!

    local window
    window=$(timeout 30 xdotool search --sync --onlyvisible --name DOSETTA | head -n 1) ||
        fail "the window did not appear: $(cat "$work/demo-$scale.log")"
    # The program talks to the pump once it polls (the pump type comes with the first rounds).
    wait_for "grep -q 'query ?SV' '$sim_log'" 150 || fail "the program does not poll the pump"
    sleep 1

    # Window-relative positions at 100 %, multiplied by the scale.
    local s=$scale width height
    eval "$(xdotool getwindowgeometry --shell "$window")"
    width=$((WIDTH / s))
    height=$((HEIGHT / s))
    click() { xdotool mousemove --window "$window" $(($1 * s)) $(($2 * s)) click 1; }
    # The pointer leaves the window first, so no widget shows its hover colour.
    shoot() {
        xdotool mousemove 0 0
        sleep 0.3
        import -window "$window" "$out/$1"
    }

    # Start sits in the right half of the row of run buttons.
    click $((width * 2 / 3)) 458
    wait_for "grep -q 'KY1' '$sim_log'" 50 || fail "Start did not reach the pump"
    # Let the elapsed time and the volume count up for a few seconds.
    sleep 6

    local what previous=""
    for what in "$@"; do
        case "$what" in
        compact)
            shoot "${prefix}compact.png"
            ;;
        error)
            # The pump stops with an overpressure; Start, back in the place of Pause, is refused.
            echo "error overpressure on" >"$sim_input"
            sleep 2
            click $((width * 2 / 3)) 458
            wait_for "grep -q 'KY1 refused' '$sim_log'" 50 ||
                fail "the second Start did not reach the pump"
            sleep 2
            shoot "${prefix}compact-error.png"
            ;;
        advanced | tabs)
            # The arrow at the right edge unfolds the advanced screen; the main screen keeps its
            # width, so the tab bar starts where the arrow was.
            local compact_width=$width
            click $((width - 24)) $((height * 46 / 100))
            sleep 1
            eval "$(xdotool getwindowgeometry --shell "$window")"
            [ $((WIDTH / s)) -gt "$compact_width" ] || fail "the advanced screen did not open"
            if [ "$what" = advanced ]; then
                shoot "${prefix}advanced.png"
                continue
            fi
            # The tabs, by their offsets from the left edge of the tab bar. A click that missed
            # leaves the tab bar and page as they were (the main screen beside them keeps
            # counting, so it is left out of the comparison).
            local left=$((compact_width - 48)) tab offset
            local page="$(((WIDTH / s - left - 48) * s))x$HEIGHT+$((left * s))+0"
            # The Program tab's picture shows a program running: taken by hand, not here.
            for tab in settings:34 io:87 cycle:130 status:186 communication:275 journal:440 \
                chart:499 service:558 help:614; do
                offset=${tab#*:}
                tab=${tab%:*}
                click $((left + offset)) 23
                sleep 1
                shoot "${prefix}advanced-$tab.png"
                import -window "$window" -crop "$page" "$work/page-$tab.png"
                if [ -n "$previous" ] && cmp -s "$previous" "$work/page-$tab.png"; then
                    fail "the click on the tab '$tab' missed"
                fi
                previous="$work/page-$tab.png"
            done
            ;;
        esac
    done

    # Closing the display ends the program; the demo then stops the simulator.
    kill "$xvfb_pid"
    xvfb_pid=""
    wait "$demo_pid" || true
    demo_pid=""
}

mkdir -p "$out"
case "${DOSETTA_LANG:-en}" in
de)
    # The window takes its language from the locale, as on a German desktop.
    export LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
    photograph 1 "de-" compact advanced
    photograph 1 "de-" error
    ;;
en)
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    photograph 1 "" compact tabs
    photograph 2 "scale-200-" compact advanced
    photograph 1 "" error
    ;;
*) fail "DOSETTA_LANG is de or en, not '$DOSETTA_LANG'" ;;
esac
ls -1 "$out"
