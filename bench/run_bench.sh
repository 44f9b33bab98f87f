#!/usr/bin/env bash
# run_bench.sh: times the engine against the random-number floor of the same
# run, and writes the table into bench/RESULTS.md.
#
# For every shape it writes the run directory once (gen_run, seeded), then
# runs the engine and the floor alternately, RUNS times each, every run in a
# fresh copy of the directory (the engine removes its input files when it
# ends).  It reports the median wall time of each, the ratio engine / floor,
# the engine's peak resident memory against its limit (4 bytes per slot and
# simulation for the store, plus 64 MiB), and the reading stage alone: the
# engine on the same shape with no simulations, and the floor's own timing of
# the reading stages.
#
# Usage: bench/run_bench.sh [BUILD_DIR]
#   BUILD_DIR  build directory holding bench/gen_run, bench/floor and
#              engine/run/mondrake (default: build-perf next to this script)
# Environment:
#   RUNS=5           runs of each program per shape
#   SHAPES="typical maximal reading"
#   SIMS=N           override the shapes' number of simulations (quick checks)
#   OUT=FILE         where the table goes (default bench/RESULTS.md; "-" for
#                    stdout only)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build-perf}"
runs="${RUNS:-5}"
shapes="${SHAPES:-typical maximal reading}"
out="${OUT:-$here/RESULTS.md}"

gen="$build/bench/gen_run"
floor="$build/bench/floor"
engine="$build/engine/run/mondrake"
for p in "$gen" "$floor" "$engine"; do
  [[ -x "$p" ]] || { echo "run_bench: $p is missing; build gen_run, floor and mondrake" >&2; exit 2; }
done
[[ -x /usr/bin/time ]] || { echo "run_bench: needs /usr/bin/time (GNU time)" >&2; exit 2; }

work="$(mktemp -d /tmp/mondrake-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# Runs one program in a fresh copy of run directory $1; prints
# "seconds peak_KiB cpu_seconds" and leaves the program's stdout in $work/last.out and
# its stderr in $work/last.err.
timed() {
  local dir="$1" prog="$2"
  rm -rf "$work/run"
  cp -r "$dir" "$work/run"
  (cd "$work/run" && /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$prog" >"$work/last.out" 2>"$work/last.err") || {
    echo "run_bench: $prog failed in a copy of $dir" >&2; cat "$work/last.err" >&2; exit 1; }
  awk '{printf "%s %s %.2f\n", $1, $2, $3 + $4}' "$work/time"
}

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

shape_sims() {
  case "$1" in typical) echo 100000 ;; maximal) echo 20000 ;; reading) echo 100 ;; esac
}

rows=()
for shape in $shapes; do
  sims="${SIMS:-$(shape_sims "$shape")}"
  dir="$work/$shape"
  "$gen" --out "$dir" --shape "$shape" --sims "$sims" >/dev/null 2>&1
  "$gen" --out "$work/$shape-read" --shape "$shape" --sims 0 >/dev/null 2>&1
  e_t=(); f_t=(); e_m=(); e_c=(); r_t=(); fr_t=()
  for ((k = 1; k <= runs; ++k)); do
    read -r t m c < <(timed "$dir" "$engine"); e_t+=("$t"); e_m+=("$m"); e_c+=("$c")
    read -r t m c < <(timed "$dir" "$floor"); f_t+=("$t")
    sum="$(cat "$work/last.out")"
    slots="$(sed -n 's/.*slots \([0-9]*\).*/\1/p' "$work/last.err")"
    fr_t+=("$(sed -n 's/.*reading \([0-9.]*\) s.*/\1/p' "$work/last.err")")
    read -r t m c < <(timed "$work/$shape-read" "$engine"); r_t+=("$t")
  done
  et="$(printf '%s\n' "${e_t[@]}" | median)"
  ec="$(printf '%s\n' "${e_c[@]}" | median)"
  ft="$(printf '%s\n' "${f_t[@]}" | median)"
  em="$(printf '%s\n' "${e_m[@]}" | sort -g | tail -1)"
  rt="$(printf '%s\n' "${r_t[@]}" | median)"
  frt="$(printf '%s\n' "${fr_t[@]}" | median)"
  ratio="$(awk -v a="$et" -v b="$ft" 'BEGIN {printf "%.2f", (b > 0) ? a / b : 0}')"
  limit="$(awk -v s="$slots" -v n="$sims" 'BEGIN {printf "%.1f", (4 * s * n + 64 * 1048576) / 1048576}')"
  rss="$(awk -v m="$em" 'BEGIN {printf "%.1f", m / 1024}')"
  echo "$shape: engine $et s, floor $ft s, ratio $ratio, peak $rss MiB (limit $limit), reading $rt s (floor's reading $frt s) [$sum]" >&2
  rows+=("| $shape | $sims | $et | $ec | $ft | $ratio | $rss | $limit | $rt | $frt |")
done

table() {
  echo "| shape | N | engine (s) | engine CPU, both threads (s) | floor (s) | engine / floor | peak RSS (MiB) | RSS limit (MiB) | engine at N = 0 (s) | floor's reading stages (s) |"
  echo "|---|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
}

machine() {
  local cpu mem
  cpu="$(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)"
  mem="$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
  echo "- CPU: $cpu, $(nproc) cores available"
  echo "- memory: $mem; kernel $(uname -r)"
  echo "- compiler: $(c++ --version | head -1)"
  echo "- build: $(awk -F= '/^CMAKE_BUILD_TYPE:/ {print $2}' "$build/CMakeCache.txt"); $runs runs of each program per shape, median; $(date -u +%Y-%m-%d)"
}

if [[ "$out" == "-" ]]; then
  table
  exit 0
fi
# The table goes between the two marker lines of the results file; the text
# around them is kept.
begin='<!-- table -->'
end='<!-- end of table -->'
{
  if [[ -f "$out" ]] && grep -qx "$begin" "$out"; then
    sed -n "1,/^$begin\$/p" "$out"
  else
    echo "# Benchmark results"
    echo
    echo "$begin"
  fi
  echo
  machine
  echo
  table
  echo
  echo "$end"
  if [[ -f "$out" ]] && grep -qx "$end" "$out"; then
    sed -n "/^$end\$/,\$p" "$out" | tail -n +2
  fi
} >"$work/results.md"
cp "$work/results.md" "$out"
echo "run_bench: table written to $out" >&2
