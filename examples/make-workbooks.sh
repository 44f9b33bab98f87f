#!/usr/bin/env bash
# Makes the example's input workbooks from its comma-separated files, as a
# user would have them: a mix of .xlsx and .ods.  Run it after changing a
# .csv file of the example.
set -euo pipefail
dir=$(cd "$(dirname "$0")/river-invertebrates" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
filter='Text - txt - csv (StarCalc):44,34,76,1,,1033,false,false'
convert() {  # csv, format, workbook
  cp "$dir/$1" "$work/${3%.*}.csv"
  LC_ALL=C.UTF-8 soffice -env:UserInstallation=file://$work/profile --headless \
    --infilter="$filter" --convert-to "$2" --outdir "$work" "$work/${3%.*}.csv" >/dev/null
  mv "$work/$3" "$dir/$3"
}
convert VELTRASOM_METSPEC.csv xlsx river-metspec.xlsx
convert VELTRASOM_OBS.csv ods river-observed.ods
convert VELTRASOM_EZERO.csv xlsx river-e0.xlsx
convert VELTRASOM_EONE.csv ods river-e1.ods
convert VELTRASOM_CORR.csv xlsx river-correlations.xlsx
