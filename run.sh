#!/usr/bin/env bash
# Installs what is missing, builds the tool (Release, into build/) and starts it.
set -euo pipefail
cd "$(dirname "$0")"

tools/ensure-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOMO_BUILD_TESTS=OFF >/dev/null
cmake --build build --target lumetra-wifi-setup
exec ./build/lumetra-wifi-setup "$@"
