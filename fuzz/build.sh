#!/usr/bin/env bash
# Builds the fuzz targets with clang into a build folder of their own
# (default: build-fuzz at the top of the checkout).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-fuzz}
cxx=$(command -v clang++ || command -v clang++-14)
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j2
