#!/usr/bin/env bash
# tekuri2svf -j against cp -r on a folder of about 210 logs: the 200 MB benchmark log
# (gen_tekuri_log, seed 1998) cut at message ends into logs of about 954 kB (split_log), so it
# is the same on every machine.
#   bench/convert/bench_jobs.sh [BUILD] [ROUNDS]
# Bars: tekuri2svf (default jobs) within 1.5x cp -r of the folder, medians of ROUNDS
# interleaved rounds; its outputs byte-identical to those of -j 1. The processor time of each
# side (user and system) is printed too: cp -r runs on one processor, so on N processors the
# wall-time ratio can be no lower than tekuri2svf's processor time over N times cp's.
set -euo pipefail
default_rounds=7
. "$(dirname "$0")/../support/common.sh"
tools="$build/bench/convert"
converter="$build/src/cli/tekuri2svf/tekuri2svf"
log="$data/bench-200m.log"
logs="$data/logs-954k"
[ -f "$log" ] || "$tools/gen_tekuri_log" "$log" 200000000 1998
if [ ! -d "$logs" ]; then
  mkdir -p "$logs.tmp"
  "$tools/split_log" "$log" "$logs.tmp" 954000
  mv "$logs.tmp" "$logs"
fi
cat "$logs"/*.log > /dev/null  # every side starts from a warm page cache

# One timed command, "<wall seconds> <processor seconds>"; no dirty pages of an earlier one
# wait to be written back.
timed() {
  sync
  "$tools/measure" "$@" | cut -d' ' -f1,3
}

rm -rf "$data/o1" && mkdir "$data/o1"
"$converter" -q -j 1 -o "$data/o1/" "$logs"
cpr=() jobs=() cpr_cpu=() jobs_cpu=()
for i in $(seq "$rounds"); do
  rm -rf "$data/cp-r" "$data/oj"
  read -r t c < <(timed cp -r "$logs" "$data/cp-r")
  cpr+=("$t") cpr_cpu+=("$c")
  mkdir "$data/oj"
  read -r t c < <(timed "$converter" -q -o "$data/oj/" "$logs")
  jobs+=("$t") jobs_cpu+=("$c")
  diff -r "$data/o1" "$data/oj" > /dev/null || { echo "FAIL: -j differs from -j 1"; exit 1; }
done
rm -rf "$data/cp-r" "$data/o1" "$data/oj"
read -r a_med a_min a_max < <(stats "${cpr[@]}")
read -r b_med b_min b_max < <(stats "${jobs[@]}")
read -r a_cpu _ < <(stats "${cpr_cpu[@]}")
read -r b_cpu _ < <(stats "${jobs_cpu[@]}")
echo "$(ls "$logs" | wc -l) logs, $rounds interleaved rounds, load $(cut -d' ' -f1-3 /proc/loadavg); outputs identical to -j 1"
echo "cp -r       min $a_min  median $a_med  max $a_max s"
echo "tekuri2svf  min $b_min  median $b_med  max $b_max s   $(awk -v a="$a_med" -v b="$b_med" 'BEGIN { printf "%.2f", b / a }')x cp -r (bar 1.5x)"
echo "processor time, medians: cp -r $a_cpu s, tekuri2svf $b_cpu s ($(awk -v a="$a_cpu" -v b="$b_cpu" 'BEGIN { printf "%.2f", b / a }')x) on $(nproc) processors"
