#!/usr/bin/env bash
# Installs what is missing, builds, and runs the example assessment in a
# fresh folder out/river-invertebrates (the example itself stays clean).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
run="$root/out/river-invertebrates"
rm -rf "$run"
mkdir -p "$run"
cp "$root"/examples/river-invertebrates/* "$run"/
cd "$run"
status=0
"$root/build/engine/run/mondrake" || status=$?
echo
echo "Run marker : $(tr -d '\r' < VELTRASOM.ERR) (0 = the run reached its normal end)"
echo "Results    : $run/VELTRASOM_OUT.csv"
echo "Log        : $run/$(sed -n 8p VELTRASOM.INP | tr -d '\r')"
exit $status
