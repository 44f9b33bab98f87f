#!/bin/sh
# Regenerates the pictures of the window in docs/screenshots: at start, and
# after a successful run on the river example.  Needs xvfb-run.
#   frontend/screenshots.sh [BUILD_DIR]     (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" -j2 --target veltrasom_screenshots mondrake
engine=$(find "$build/engine" -type f -name mondrake -perm -u+x | head -n 1)
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/frontend/veltrasom_screenshots" "$root/docs/screenshots" "$engine" \
  "$root/examples/river-invertebrates"
