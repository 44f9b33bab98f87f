#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a bounded time.
#
#   fuzz/run.sh [seconds per target] [target ...]
#
# Each target starts from a working copy of its seed corpus (fuzz/corpus/<t>,
# never written to) under the build folder; crash, hang and leak inputs land
# in <build>/artifacts/<t>/ and the fuzzer's output in <build>/logs/<t>.log.
# The closing summary gives, per target, the executions, the coverage
# (cov: edges, ft: features) and the artifacts found; the exit status is 1
# when any target left an artifact.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(readvals metspec obs e0e1 corr run)
build=${MONDRAKE_FUZZ_BUILD:-$root/build-fuzz}

bash "$root/fuzz/build.sh" "$build" >/dev/null || { echo "fuzz build failed"; exit 1; }

failed=0
printf '%-9s %10s %7s %7s %9s\n' target execs cov ft artifacts
for t in "${targets[@]}"; do
  work="$build/corpus/$t"; art="$build/artifacts/$t"; log="$build/logs/$t.log"
  mkdir -p "$work" "$art" "$(dirname "$log")"
  cp -n "$root/fuzz/corpus/$t/"* "$work/" 2>/dev/null || true
  before=$(ls "$art" | wc -l)
  "$build/fuzz_$t" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$art/" \
    >"$log" 2>&1
  after=$(ls "$art" | wc -l)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-9s %10s %7s %7s %9s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" $((after - before))
  if [ "$after" -gt "$before" ] || grep -q 'ERROR: \(AddressSanitizer\|libFuzzer\)\|runtime error' "$log"; then
    failed=1
    echo "  $t: see $log and $art" >&2
  fi
done
exit $failed
