#!/usr/bin/env bash
# The converter window's run against tekuri2svf -j 1 on the same log of about 100,000
# messages, interleaved in one run so that both see the same machine.
#   bench/ui/bench_ui.sh [BUILD] [RUNS]
# Bar: the window's convert handler takes at most 1.1x the whole tekuri2svf -j 1 process.
set -euo pipefail
default_rounds=7
. "$(dirname "$0")/../support/common.sh"
build=$(realpath "$build")
data=$(realpath "$data")
runs=$rounds
log="$data/ui-100k.log"
[ -f "$log" ] || "$build/bench/convert/gen_tekuri_log" "$log" 34300000 1998
messages=$(grep -c $'^\.\r$' "$log")
cat "$log" > /dev/null
window="$build/bench/ui/window_convert"
converter="$build/src/cli/tekuri2svf/tekuri2svf"
measure="$build/bench/convert/measure"
out="$data/ui-out"
window_times=() cli_times=() paints=0
for i in $(seq "$runs"); do
  rm -rf "$out" && mkdir -p "$out"
  read -r t _ < <("$measure" "$converter" -q -j 1 -o "$out/" "$log")
  cli_times+=("$t")
  rm -rf "$out" && mkdir -p "$out"
  read -r t p < <(QT_QPA_PLATFORM=offscreen "$window" "$log" "$out" 2>/dev/null)
  window_times+=("$t")
  paints=$p
done
rm -rf "$out" && mkdir -p "$out"
read -r naive naive_paints < <(QT_QPA_PLATFORM=offscreen "$window" "$log" "$out" --naive 2>/dev/null)
rm -rf "$out"
read -r c_med c_min c_max < <(stats "${cli_times[@]}")
read -r w_med w_min w_max < <(stats "${window_times[@]}")
echo "log: $messages messages; $runs interleaved runs; load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tekuri2svf -j 1 process  min $c_min  median $c_med  max $c_max s"
echo "window convert handler   min $w_min  median $w_med  max $w_max s   $(awk -v a="$w_med" -v b="$c_med" 'BEGIN { printf "%.2f", a / b }')x (bar 1.1x), label painted $paints times"
awk -v naive="$naive" -v n="$messages" -v naive_paints="$naive_paints" 'BEGIN {
  printf "naive QLabel, one run   %.3f s   %.1f us a message, label painted %d times\n", naive, naive * 1e6 / n, naive_paints;
}'
