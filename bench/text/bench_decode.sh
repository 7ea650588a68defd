#!/usr/bin/env bash
# CP932 to UTF-8 with the text library against `iconv -f CP932 -t UTF-8` of the same file, in
# interleaved rounds: the outputs must be equal; prints MB/s of each, the medians, min and max.
# The file is the 200 MB benchmark log converted to SVF (the export's input).
#   bench/text/bench_decode.sh [BUILD] [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../support/common.sh"
bench_log_and_svf
decode="$build/bench/text/cp932_decode"

"$decode" "$svf" > "$data/ours.txt"
iconv -f CP932 -t UTF-8 "$svf" > "$data/iconv.txt"
cmp -s "$data/ours.txt" "$data/iconv.txt" || { echo "FAIL: the outputs differ"; exit 1; }
rm -f "$data/ours.txt" "$data/iconv.txt"

wall() {  # runs "$@" into $data/decoded.out and prints its wall time
  local start end
  start=$(date +%s%N)
  "$@" > "$data/decoded.out"
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}
ours=() theirs=()
for _ in $(seq "$rounds"); do
  ours+=("$(wall "$decode" "$svf")")
  theirs+=("$(wall iconv -f CP932 -t UTF-8 "$svf")")
done
rm -f "$data/decoded.out"
bytes=$(stat -c %s "$svf")
printf '%s\n' "${ours[@]}" | sort -n > "$data/ours.t"
printf '%s\n' "${theirs[@]}" | sort -n > "$data/theirs.t"
paste "$data/ours.t" "$data/theirs.t" | awk -v mb="$(echo "$bytes / 1000000" | bc -l)" \
    -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '
  { o[NR] = $1; t[NR] = $2 }
  END {
    m = int((NR + 1) / 2)
    printf "%.0f MB SVF, %d interleaved rounds, load %s\n", mb, NR, load
    printf "text library  %.3f s (min %.3f, max %.3f)  %.0f MB/s\n", o[m], o[1], o[NR], mb / o[m]
    printf "iconv         %.3f s (min %.3f, max %.3f)  %.0f MB/s\n", t[m], t[1], t[NR], mb / t[m]
    printf "ratio         %.2fx iconv (the export needs well under 1)\n", o[m] / t[m]
  }'
rm -f "$data/ours.t" "$data/theirs.t"
