#!/usr/bin/env bash
# Installs what the tests need, builds and runs the whole suite.
#   ./test.sh             Release build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
# Extra arguments after the options go to ctest (for example -L slow or -R tst_agent).
set -euo pipefail
cd "$(dirname "$0")"

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
    shift
    build_dir=build-asan
    cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOMO_SANITIZE=ON)
fi

tools/ensure-deps.sh test
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}" -DNOMO_BUILD_TESTS=ON >/dev/null
cmake --build "$build_dir"
cd "$build_dir"
ctest --output-on-failure --timeout 900 "$@"
