#!/usr/bin/env bash
# tekuri2svf (default jobs) on one log against cp of the same file, in one interleaved run:
# wall time and peak RSS.
#   bench/convert/bench_convert.sh [BUILD] [SIZE_MB] [RUNS]
# Bars: median at most 2x cp's; spread of tekuri2svf's runs (max/min) at most 2x; peak RSS at
# most 48 MiB, whatever the size of the log.
set -euo pipefail
# Memory-backed data when possible: both commands then measure their own work, not the
# disk's writeback of the other's pages.
. "$(dirname "$0")/../support/common.sh"
mb=${2:-200}
runs=${3:-7}
log="$data/bench-${mb}m.log"
tools="$build/bench/convert"
converter="$build/src/cli/tekuri2svf/tekuri2svf"
[ -f "$log" ] || "$tools/gen_tekuri_log" "$log" $((mb * 1000 * 1000)) 1998
cat "$log" > /dev/null  # both start from a warm page cache

cp_times=() conv_times=() rss=0
# Each command starts with no dirty pages of an earlier one waiting to be written back, so
# neither is throttled by the other's writeback.
for i in $(seq "$runs"); do
  rm -f "$data/cp.out"
  sync
  read -r t _ < <("$tools/measure" cp "$log" "$data/cp.out")
  cp_times+=("$t")
  rm -rf "$data/out" && mkdir -p "$data/out"
  sync
  read -r t r _ < <("$tools/measure" "$converter" -q -o "$data/out/" "$log")
  conv_times+=("$t")
  [ "$r" -gt "$rss" ] && rss=$r
done
out_bytes=$(stat -c %s "$data/out/svfbench-${mb}m.log")
read -r cp_med cp_min cp_max < <(stats "${cp_times[@]}")
read -r c_med c_min c_max < <(stats "${conv_times[@]}")
awk -v cp="$cp_med" -v conv="$c_med" -v cmin="$c_min" -v cmax="$c_max" -v cpmin="$cp_min" \
    -v cpmax="$cp_max" -v rss="$rss" -v out="$out_bytes" -v n="$runs" \
    -v in_bytes="$(stat -c %s "$log")" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  printf "input %.1f MB, output %.1f MB; %d interleaved runs; load %s\n", in_bytes / 1e6, out / 1e6, n, load;
  printf "cp          min %.3f  median %.3f  max %.3f s\n", cpmin, cp, cpmax;
  printf "tekuri2svf  min %.3f  median %.3f  max %.3f s   %.2fx cp (bar 2x), spread %.2fx (bar 2x)\n", cmin, conv, cmax, conv / cp, cmax / cmin;
  printf "peak RSS    %.1f MiB (bar 48 MiB)\n", rss / 1024;
}'
rm -rf "$data/out" "$data/cp.out"

mkdir -p "$data/out"
# Reply numbers on and off, alternating in one process; the gap is a tenth of a run, as
# large as the machine's noise, so it takes more runs than the comparison with cp.
"$tools/reply_bench" "$log" "$data/out/" 15
rm -rf "$data/out"
