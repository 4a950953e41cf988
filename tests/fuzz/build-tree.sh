#!/usr/bin/env bash
# Configures and builds the fuzz targets with clang in a tree of their own.
#   tests/fuzz/build-tree.sh <binary dir> [clang++]
# Run by CTest (the fuzz_build test) before the targets; also usable by hand.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
tree=${1:?usage: build-tree.sh <binary dir> [clang++]}
cxx=${2:-clang++}

# Flags of the calling environment are meant for the g++ build, not for this one.
unset CXXFLAGS LDFLAGS CPPFLAGS
cmake -S "$src/tests/fuzz/targets" -B "$tree" -G Ninja \
    -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_COMPILER="$cxx" -DNOMO_SOURCE_DIR="$src" >/dev/null
cmake --build "$tree"
