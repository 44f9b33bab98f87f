#!/bin/sh
# Renders the three sheets of the results workbook of the river example
# (Results, Summary, Chart) to PDF and PNG in docs/workbook.  Needs
# LibreOffice (soffice) and pdftoppm (poppler-utils).
#   frontend/workbook_screenshots.sh [BUILD_DIR] [RESULTS.csv]
# Without RESULTS.csv, the example run's expected results are used.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
results=${2:-$root/engine/run/testdata/example/expected/VELTRASOM_OUT.csv}
out=$root/docs/workbook
[ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] || cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" -j2 --target veltrasom_results_workbook

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
"$build/frontend/veltrasom_results_workbook" "$results" "$work/results.xlsx"

# Every sheet on a page of its own, the whole sheet on it: page 1 is
# Results, 2 Summary, 3 Chart.
soffice "-env:UserInstallation=file://$work/profile" --headless --invisible --norestore \
  --convert-to 'pdf:calc_pdf_Export:{"SinglePageSheets":{"type":"boolean","value":"true"}}' \
  --outdir "$work" "$work/results.xlsx" >/dev/null
cp "$work/results.pdf" "$out/results.pdf"

# The top left of each sheet, as a reader first sees it.
page=1
for sheet in results summary chart; do
  pdftoppm -png -singlefile -r 96 -f $page -l $page -x 0 -y 0 -W 1600 -H 1000 \
    "$work/results.pdf" "$out/$sheet"
  page=$((page + 1))
done
ls -l "$out"
