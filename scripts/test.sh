#!/usr/bin/env bash
# Builds DOSETTA and runs the whole test suite headless. Installs what is missing first.
# A second stage builds everything again with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the whole suite once more; then the fuzz targets, in a build
# of their own, each run briefly as a test. Stops at the first failing stage. Each stage leaves
# per-test times in its build folder as junit.xml. DOSETTA_SKIP_SANITIZERS=1 leaves the
# second stage out for a quick local run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${DOSETTA_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
# Ninja for new build folders; one made earlier keeps the generator it was made with.
export CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja}
# Line tables only: stack traces keep file and line, and the many test executables link in a
# fraction of the time full debug information takes.
lines_only=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
# The compiler cache: a run on a machine that built this code before, in any folder, compiles only
# what changed. Paths are hashed relative to the checkout, so a fresh clone elsewhere still hits;
# the sloppiness lets it cache what is compiled against the precompiled Qt headers, and files a
# fresh clone has only just written.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
lines_only+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S . -B "$build" "${lines_only[@]}" >/dev/null
cmake --build "$build" -j2
# The tests mostly wait on pseudo-terminals and timers, using a fraction of a core each: four at
# a time keep two cores busy. Those that assert the rhythm on the wire run alone.
# A test that fails gets one more run: a few tests bound times on the wire, which a machine busy
# with four at a time can miss. The failed run stays in the output, with the test's name.
retry=(--repeat until-pass:2)
# A run that passed only the second time is a finding all the same: after each stage, its summary
# names them. ctest's junit.xml keeps only the last run; its output log keeps every run's line
# ("Test #12: name ....***Failed", later "Test #12: name ....   Passed").
second_runs() {
    local names
    if [ ! -s "$1" ]; then
        echo "no ctest output log ($1): which tests needed a second run is not known"
        return 0
    fi
    names=$(awk '
        match($0, /Test +#[0-9]+: /) {
            rest = substr($0, RSTART + RLENGTH)
            if (!match(rest, / \.+ */))
                next
            name = substr(rest, 1, RSTART - 1)
            verdict = substr(rest, RSTART + RLENGTH)
            if (verdict ~ /^Passed/) {
                if (failed[name] && !listed[name]++)
                    out = out (out == "" ? "" : ", ") name
            } else if (verdict ~ /^\*\*\*/) {
                failed[name] = 1
                anyFailed = 1
            }
        }
        END { print (out != "" ? out : anyFailed ? "-" : "") }' "$1") || true
    case "$names" in
    "") echo "every test passed on its first run" ;;
    -) echo "no test passed only on its second run" ;;
    *) echo "needed a second run: $names" ;;
    esac
}
status=0
(cd "$build" && ctest --output-on-failure -j4 --timeout 300 "${retry[@]}" --output-junit junit.xml \
    --output-log ctest.log) || status=$?
second_runs "$build/ctest.log"
[ "$status" = 0 ] || exit "$status"

if [ "${DOSETTA_SKIP_SANITIZERS:-0}" = 1 ]; then
    exit 0
fi

# Clang's precompiled headers carry the folder they were made in, so the compiler cache could
# never reuse what a clone elsewhere compiled against them: the clang builds go without.
clang_build=(-DDOSETTA_PCH=OFF)
sanitized="$build-asan"
CC=clang CXX=clang++ cmake -S . -B "$sanitized" "${lines_only[@]}" "${clang_build[@]}" \
    -DDOSETTA_SANITIZE=ON -DDOSETTA_FUZZ=OFF >/dev/null
cmake --build "$sanitized" -j2
# The fuzz targets want coverage feedback from all the code they reach, which slows every test
# built with it: they get a build of their own, which makes only them and the libraries they link.
fuzzing="$build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$fuzzing" "${lines_only[@]}" "${clang_build[@]}" \
    -DDOSETTA_FUZZ=ON >/dev/null
cmake --build "$fuzzing" --target dosetta_fuzzers -j2

# Qt's offscreen platform plugin never frees the screen and cursor it creates with the
# application object, so every widget test would report them as leaked at exit. These entries
# name only frames of that plugin's screen set-up. A suppressed block counts as live, and so does
# whatever it points to: that is why the generic QObject and QPointer frames below those are not
# listed, since suppressing them would also hide a QObject our code leaks. fontconfig keeps its
# configuration for the life of the process, allocated in its own frames.
cat >"$sanitized/lsan-qt-offscreen.supp" <<'SUPP'
leak:libqoffscreen.so
leak:QScreen::QScreen
leak:QPlatformScreen::QPlatformScreen
leak:QPlatformCursor::QPlatformCursor
leak:QWindowSystemInterface::handleScreenAdded
leak:libfontconfig.so
SUPP
# Any finding ends the process with an error, so its test fails.
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_string_checks=1
# Quoted for the sanitizers' own option parser: the clone may lie under a path with blanks.
export LSAN_OPTIONS="suppressions='$(cd "$sanitized" && pwd)/lsan-qt-offscreen.supp'"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Tests labelled "timing" assert time bounds, and the package check tests packaging, not
# memory; both ran in the first stage.
# Instrumented code runs about twice as slow, still mostly waiting (about half the two cores
# with four at a time): four at a time too, with the doubled time limits.
(cd "$sanitized" && ctest --output-on-failure -j4 --timeout 600 -LE 'timing|package' "${retry[@]}" \
    --output-junit junit.xml --output-log ctest.log) || status=$?
second_runs "$sanitized/ctest.log"
[ "$status" = 0 ] || exit "$status"
cd "$fuzzing"
ctest --output-on-failure -R '^fuzz_smoke_' --output-junit junit.xml
