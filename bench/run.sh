#!/usr/bin/env bash
# Builds the benchmarks (Release, in a build directory of their own) and runs every one of them
# against the pump simulator, then prints the machine and one table of all figures.
#
#   DOSETTA_BUILD_DIR=D   build in D-bench (default build-bench), relative to the repository root
#   PROGRAM_SECONDS=N     length of the running-program measurements (default 60)
#   WIRE_QUERIES=N        queries in the saturated queue (default 300)
#   POLL_CYCLES=N         refresher ticks measured (default 40)
#   DISPLAY_CALLS=N       display updates per state (default 2000)
#   STOP_CLICKS=N         Stop clicks per line condition (default 100)
#   BENCH_ONLY="wire micro"  run only these (wire pollcycle display program session micro stop chart
#                         fleet steps sila journal)
#   CHART_TICKS=N         samples fed to the chart (default 123429, a day at 700 ms)
#   FLEET_COUNTS="1 10 30"  fleet sizes, each served by one service process and by a bridge per
#                         pump (FLEET_PUMPS=N: that size only; FLEET_HOSTING="service" or "bridges")
#   FLEET_SETS=N          flow-rate sets per pump in the fleet (default 20, twice that for one pump)
#   FLEET_IDLE_SECONDS=N  the fleet polling only, for the CPU at rest (default 10)
#   PROGRAM_STEPS=N       short steps of the dosing program timed step to step (default 60)
#   SILA_CALLS=N          DoseVolume calls timed to their first frame (default 40)
#   SILA_CHANGES=N        pump error flags timed to the property stream (default 30)
#   JOURNAL_ENTRIES=N     entries in the journal that dosetta-cli journal reads (default 1000000)
#
# The figures are timings on a shared machine: run it on an otherwise quiet one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh
build=${DOSETTA_BUILD_DIR:-build}-bench
all=(wire pollcycle display program session micro stop chart fleet steps sila journal)
only=(${BENCH_ONLY:-${all[*]}})
targets=()
for b in "${only[@]}"; do targets+=("bench_$b"); done
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
case $build in
    /*) bin="$build/bin" ;;
    *) bin="$root/$build/bin" ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/run"
chmod 700 "$work/run"

cores=$(nproc)
model=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo "machine: $cores cores, ${model:-unknown CPU}; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
echo

status=0
for b in "${only[@]}"; do
    echo "bench: running $b ..." >&2
    if ! (cd "$bin" && env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
            XDG_RUNTIME_DIR="$work/run" XDG_STATE_HOME="$work/state" DOSETTA_PORTS= "./bench_$b" \
            >"$work/$b.out" 2>"$work/$b.err"); then
        status=1
        echo "bench: bench_$b failed; its messages:" >&2
        tail -n 20 "$work/$b.err" >&2
    fi
    grep '^@bench|' "$work/$b.out" >>"$work/all" || true
done

# One table: benchmark, measure, value, goal, met.
awk -F'|' '
    { n++; for (i = 2; i <= 6; i++) { cell[n, i] = $i; if (length($i) > w[i]) w[i] = length($i) } }
    END {
        split("Benchmark|Measure|Value|Goal|Met", head, "|")
        for (i = 2; i <= 6; i++) if (length(head[i - 1]) > w[i]) w[i] = length(head[i - 1])
        line = "|"; rule = "|"
        for (i = 2; i <= 6; i++) {
            line = line sprintf(" %-*s |", w[i], head[i - 1])
            bar = ""; for (k = 0; k < w[i]; k++) bar = bar "-"
            rule = rule " " bar " |"
        }
        print line; print rule
        for (r = 1; r <= n; r++) {
            line = "|"
            for (i = 2; i <= 6; i++) line = line sprintf(" %-*s |", w[i], cell[r, i])
            print line
        }
    }' "$work/all"
grep -q '|NO$' "$work/all" && echo && echo "Goals missed: see the rows marked NO."
exit $status
