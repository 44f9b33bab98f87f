#!/usr/bin/env bash
# Installs what is missing, builds, and runs the example assessment from its
# workbooks in a fresh folder out/river-invertebrates (the example itself
# stays clean).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
run="$root/out/river-invertebrates"
rm -rf "$run"
mkdir -p "$run"
cp "$root"/examples/river-invertebrates/* "$run"/
# The front end converts the workbooks, starts the engine, waits for it and
# writes the results workbook; it prints where the workbook and the log are.
"$root/build/engine/run/veltrasom" --batch --dir "$run"
