#!/usr/bin/env bash
# The converter window's run against tekuri2svf on the same log of about 100,000 messages,
# interleaved in one run so that both see the same machine.
#   bench/ui/bench_ui.sh [BUILD] [RUNS]
# Bar: the window's convert handler takes at most 1.1x the whole tekuri2svf -j 1 process.
set -euo pipefail
build=${1:-build}
runs=${2:-5}
data=bench/data
mkdir -p "$data"
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
  read -r t p < <(QT_QPA_PLATFORM=offscreen "$window" "$PWD/$log" "$PWD/$out" 2>/dev/null)
  window_times+=("$t")
  paints=$p
done
rm -rf "$out" && mkdir -p "$out"
read -r naive naive_paints < <(QT_QPA_PLATFORM=offscreen "$window" "$PWD/$log" "$PWD/$out" --naive 2>/dev/null)
rm -rf "$out"
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
cli_t=$(median "${cli_times[@]}")
window_t=$(median "${window_times[@]}")
awk -v cli="$cli_t" -v win="$window_t" -v n="$messages" -v paints="$paints" -v naive="$naive" \
    -v naive_paints="$naive_paints" -v runs="$runs" 'BEGIN {
  printf "log: %d messages (median of %d interleaved runs)\n", n, runs;
  printf "tekuri2svf -j 1 process %.3f s\n", cli;
  printf "window convert handler  %.3f s   ratio %.2fx (bar 1.1x), label painted %d times\n", win, win / cli, paints;
  printf "naive QLabel, one run   %.3f s   %.1f us a message, label painted %d times\n", naive, naive * 1e6 / n, naive_paints;
}'
