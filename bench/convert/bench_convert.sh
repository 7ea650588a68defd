#!/usr/bin/env bash
# Converter against cp of the same bytes, in one run: wall time and peak RSS.
#   bench/convert/bench_convert.sh [BUILD] [SIZE_MB]
# Bars: wall time at most 4x cp; peak RSS at most 1.5x the output size plus 32 MiB.
set -euo pipefail
build=${1:-build}
mb=${2:-200}
# Memory-backed when possible: both commands then measure their own work, not the disk's
# writeback of the other's pages.
data=${BENCH_DATA:-$([ -d /dev/shm ] && echo /dev/shm/sorbit-bench || echo bench/data)}
mkdir -p "$data"
log="$data/bench-${mb}m.log"
tools="$build/bench/convert"
converter="$build/src/cli/tekuri2svf/tekuri2svf"
[ -f "$log" ] || "$tools/gen_tekuri_log" "$log" $((mb * 1000 * 1000)) 1998
cat "$log" > /dev/null  # both start from a warm page cache

runs=5
cp_times=() conv_times=() rss=0
# Each command starts with no dirty pages of an earlier one waiting to be written back, so
# neither is throttled by the other's writeback.
for i in $(seq $runs); do
  rm -f "$data/cp.out"
  sync
  read -r t _ < <("$tools/measure" cp "$log" "$data/cp.out")
  cp_times+=("$t")
  rm -rf "$data/out" && mkdir -p "$data/out"
  sync
  read -r t r < <("$tools/measure" "$converter" -q -o "$data/out/" "$log")
  conv_times+=("$t")
  [ "$r" -gt "$rss" ] && rss=$r
done
out_bytes=$(stat -c %s "$data/out/svfbench-${mb}m.log")
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
cp_t=$(median "${cp_times[@]}")
conv_t=$(median "${conv_times[@]}")
awk -v cp="$cp_t" -v conv="$conv_t" -v rss="$rss" -v out="$out_bytes" -v in_bytes="$(stat -c %s "$log")" 'BEGIN {
  limit = (1.5 * out + 32 * 1048576) / 1024;
  printf "input %.1f MB, output %.1f MB (median of %d runs)\n", in_bytes / 1e6, out / 1e6, 5;
  printf "cp          %.3f s\n", cp;
  printf "tekuri2svf  %.3f s   ratio %.2fx cp (bar 4x)\n", conv, conv / cp;
  printf "peak RSS    %.1f MiB   %.2f of 1.5x output + 32 MiB (bar 1.00)\n", rss / 1024, rss / limit;
}'
rm -rf "$data/out" "$data/cp.out"

mkdir -p "$data/out"
# Reply numbers on and off, alternating in one process; the gap is a tenth of a run, as
# large as the machine's noise, so it takes more runs than the comparison with cp.
"$tools/reply_bench" "$log" "$data/out/" 15
rm -rf "$data/out"
