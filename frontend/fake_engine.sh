#!/bin/sh
# Stand-in for the engine in the front end's tests: it answers through the
# same files, console lines and exit statuses as the engine.
#   FAKE_ENGINE_MODE     ok (default), fatal, failure, nomarker, crash, slow
#   FAKE_ENGINE_RESULTS  results file to hand back as VELTRASOM_OUT.csv
# What it was given (control file and converted files) is kept in seen/.
set -u
mode=${FAKE_ENGINE_MODE:-ok}
echo 1 > VELTRASOM.ERR
if [ ! -f VELTRASOM.INP ] || [ "$(wc -l < VELTRASOM.INP)" -lt 8 ]; then
  echo "mondrake: VELTRASOM.INP: cannot read the eight control lines" >&2
  exit 2
fi
log=$(sed -n 8p VELTRASOM.INP)
rm -rf seen && mkdir seen && cp VELTRASOM.INP seen/
for f in VELTRASOM_METSPEC.csv VELTRASOM_OBS.csv VELTRASOM_EZERO.csv VELTRASOM_EONE.csv VELTRASOM_CORR.csv; do
  if [ ! -f "$f" ]; then
    echo "mondrake: $f: file not found" >&2
    exit 2
  fi
  cp "$f" seen/
done
printf '\n\n Program VELTRASOM :\n\n' > "$log"
case $mode in
  fatal)
    printf '\n No metric selected for Uncertainty assessment\n   \n' >> "$log"
    exit 1 ;;
  failure)
    echo "mondrake: VELTRASOM_OBS.csv, line 3: \"abc\" is not a number" >&2
    echo "mondrake: VELTRASOM_OBS.csv, line 3: \"abc\" is not a number" >> "$log"
    exit 2 ;;
  nomarker)
    rm -f VELTRASOM.ERR
    exit 0 ;;
  crash)
    kill -SEGV $$ ;;
  slow)
    sleep 30 ;;
esac
for k in 1 2 3; do
  printf '\n Sample    %d : %-40s : Overall class : good \n' "$k" "Site $k"
  printf ' Sample    %d : %-40s : Overall class : good \n' "$k" "Site $k" >> "$log"
done
if [ -n "${FAKE_ENGINE_RESULTS:-}" ]; then
  cp "$FAKE_ENGINE_RESULTS" VELTRASOM_OUT.csv
else
  printf 'Site,Status\nSite 1,good \n' > VELTRASOM_OUT.csv
fi
echo 0 > VELTRASOM.ERR
printf '\n\n End of program VELTRASOM\n' >> "$log"
rm -f VELTRASOM_METSPEC.csv VELTRASOM_OBS.csv VELTRASOM_EZERO.csv VELTRASOM_EONE.csv VELTRASOM_CORR.csv
exit 0
