# Sourced by the benchmark scripts: one place for their arguments, data folder, timing and
# statistics, so that every script reads and reports the same way.
#   build   the build folder (first argument, default build)
#   rounds  how many interleaved rounds (second argument, default $default_rounds or 5)
#   data    where generated inputs stay between runs (BENCH_DATA, else /dev/shm, else bench/data)
build=${1:-build}
rounds=${2:-${default_rounds:-5}}
data=${BENCH_DATA:-$([ -d /dev/shm ] && echo /dev/shm/sorbit-bench || echo bench/data)}
mkdir -p "$data"

# The 200 MB benchmark log and its SVF conversion, made once and kept in $data.
bench_log_and_svf() {
  log="$data/bench-200m.log"
  svf="$data/svfbench-200m.log"
  [ -f "$log" ] || "$build/bench/convert/gen_tekuri_log" "$log" 200000000 1998
  [ -f "$svf" ] || "$build/src/cli/tekuri2svf/tekuri2svf" -q -o "$data/" "$log"
}

now() { date +%s%N; }
# Seconds between two `now` readings.
seconds() { echo "scale=4; ($2 - $1) / 1000000000" | bc; }
# "median min max" of its arguments, three decimals.
stats() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "%.3f %.3f %.3f\n", v[int((NR + 1) / 2)], v[1], v[NR] }'
}
