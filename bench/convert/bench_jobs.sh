#!/usr/bin/env bash
# tekuri2svf -j against cp, on a folder of 200 logs of about 1 MB and on one 200 MB log.
#   bench/convert/bench_jobs.sh [BUILD] [ROUNDS]
# The folder is the 200 MB benchmark log (gen_tekuri_log, seed 1998) cut at message ends into
# logs of about 1 MB (split_log), so it is the same on every machine.
# Bars: tekuri2svf -j 2 on the folder within 3x cp -r of it; the one log within 3x cp of it;
# the outputs of -j 2 byte-identical to those of -j 1. Medians of ROUNDS interleaved rounds.
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
data=${BENCH_DATA:-$([ -d /dev/shm ] && echo /dev/shm/sorbit-bench || echo bench/data)}
tools="$build/bench/convert"
converter="$build/src/cli/tekuri2svf/tekuri2svf"
mkdir -p "$data"
log="$data/bench-200m.log"
logs="$data/logs-1m"
[ -f "$log" ] || "$tools/gen_tekuri_log" "$log" 200000000 1998
if [ ! -d "$logs" ]; then
  mkdir -p "$logs.tmp"
  "$tools/split_log" "$log" "$logs.tmp" 1000000
  mv "$logs.tmp" "$logs"
fi
cat "$log" "$logs"/*.log > /dev/null  # every side starts from a warm page cache

# One timed command; no dirty pages of an earlier one wait to be written back.
timed() {
  sync
  "$tools/measure" "$@" | cut -d' ' -f1
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

cpr=() j1=() j2=() cp1=() one1=() one2=()
for i in $(seq "$rounds"); do
  rm -rf "$data/cp-r" "$data/o1" "$data/o2"
  cpr+=("$(timed cp -r "$logs" "$data/cp-r")")
  mkdir "$data/o1" "$data/o2"
  j1+=("$(timed "$converter" -q -j 1 -o "$data/o1/" "$logs")")
  j2+=("$(timed "$converter" -q -j 2 -o "$data/o2/" "$logs")")
  diff -r "$data/o1" "$data/o2" > /dev/null || { echo "FAIL: -j 2 differs from -j 1"; exit 1; }
  rm -rf "$data/cp.out" "$data/o1" "$data/o2"
  cp1+=("$(timed cp "$log" "$data/cp.out")")
  mkdir "$data/o1" "$data/o2"
  one1+=("$(timed "$converter" -q -j 1 -o "$data/o1/" "$log")")
  one2+=("$(timed "$converter" -q -j 2 -o "$data/o2/" "$log")")
  cmp -s "$data/o1/svfbench-200m.log" "$data/o2/svfbench-200m.log" ||
    { echo "FAIL: -j 2 differs from -j 1 on the one log"; exit 1; }
done
rm -rf "$data/cp-r" "$data/cp.out" "$data/o1" "$data/o2"

awk -v n="$rounds" -v cpr="$(median "${cpr[@]}")" -v j1="$(median "${j1[@]}")" \
    -v j2="$(median "${j2[@]}")" -v cp1="$(median "${cp1[@]}")" \
    -v one1="$(median "${one1[@]}")" -v one2="$(median "${one2[@]}")" 'BEGIN {
  printf "medians of %d interleaved rounds; outputs of -j 2 identical to -j 1\n", n;
  printf "200 logs of 1 MB: cp -r %.3f s, -j 1 %.3f s (%.2fx), -j 2 %.3f s (%.2fx cp -r, bar 3x)\n", cpr, j1, j1 / cpr, j2, j2 / cpr;
  printf "one 200 MB log:   cp    %.3f s, -j 1 %.3f s (%.2fx), -j 2 %.3f s (%.2fx cp, bar 3x)\n", cp1, one1, one1 / cp1, one2, one2 / cp1;
}'
echo "each round: ${cpr[*]} | ${j1[*]} | ${j2[*]} || ${cp1[*]} | ${one1[*]} | ${one2[*]}"
