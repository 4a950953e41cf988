#!/bin/bash
# Line and branch coverage of the product code by the test suite.
#
# usage: tools/mutants/coverage.sh [-r] [BUILD_DIR] [CTEST_ARGS...]   (default BUILD_DIR: build-cov)
#   -r   report only: summarise the counters of the last run again, without building or testing
#
# Configures BUILD_DIR as an unoptimised --coverage build with the tests, builds it, runs every test
# but the fuzz and package ones in a private network namespace (run as root), then prints gcovr's
# summary over app/ discovery/ agent/ pages/ singleapp/. Branches gcovr can tell apart as exception
# paths (--exclude-throw-branches) or as the compiler's own bookkeeping on lines without code
# (--exclude-unreachable-branches) are left out: they are not decisions of the code and their count
# moves with the compiler rather than with the tests. Counters of an earlier run are reset first.
# The full report is written to BUILD_DIR/coverage.txt.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
report_only=0
[ "${1:-}" = -r ] && report_only=1 && shift
build=${1:-build-cov}
[ $# -gt 0 ] && shift

if [ $report_only = 0 ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNOMO_BUILD_TESTS=ON \
        -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
    cmake --build "$build" -j2
    find "$build" -name '*.gcda' -delete
    # A failing test still counts for coverage: report it, measure anyway.
    (cd "$build" && unshare -n -- sh -c 'ip link set lo up && exec ctest -LE "fuzz|package" "$@"' \
        sh "$@") || echo "coverage.sh: some tests failed; the figures below include their partial runs" >&2
fi

filter="$root/(app|discovery|agent|pages|singleapp)/"
common=(--root "$root" --object-directory "$build" --filter "$filter"
    --exclude-throw-branches --exclude-unreachable-branches
    --exclude-directories '.*/CompilerId(C|CXX)$')
# Kept for reading which lines and branches no test reaches.
gcovr "${common[@]}" --branches --txt "$build/coverage-branches.txt" "$build" >/dev/null
gcovr "${common[@]}" --txt "$build/coverage.txt" --print-summary "$build"
