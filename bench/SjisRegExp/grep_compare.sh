#!/bin/sh
# Compares sjisgrep with GNU grep (LC_ALL=C grep -E) on a generated 100 MB Shift-JIS file:
# which lines each selects, how many of grep's extra lines are explained by matches that start
# inside a two-byte character, and the time each takes.
#
# Usage: bench/SjisRegExp/grep_compare.sh [BUILD] [SIZE_BYTES]
#   BUILD (a build folder with the benchmarks) defaults to build, SIZE_BYTES to 100000000.
set -eu

build=${1:-build}
sjisgrep=$build/src/cli/sjisgrep/sjisgrep
gen_sjis_text=$build/bench/SjisRegExp/gen_sjis_text
trail_check=$build/bench/SjisRegExp/trail_check
size=${2:-100000000}
work=${TMPDIR:-/tmp}/sjisgrep-bench
mkdir -p "$work"

text=$work/text-$size.sjis
[ -f "$text" ] || "$gen_sjis_text" "$size" > "$text"
echo "text: $text, $(wc -c < "$text") bytes, $(wc -l < "$text") lines"

# Best of three wall-clock runs of "$@". The output goes to a file: GNU grep stops at the
# first match when it sees that its output is /dev/null.
seconds() {
  best=
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" > "$work/timing.out" || [ $? -eq 1 ]
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" -eq 1 ]; then best=$t; fi
  done
  echo "$best"
}

for pattern in '[A-Z][0-9]+' 'Re: [0-9]+' '[a-z]+[0-9]'; do
  LC_ALL=C grep -E -n -- "$pattern" "$text" > "$work/grep.out" || true
  "$sjisgrep" -n -- "$pattern" "$text" > "$work/sjisgrep.out" || true
  cut -d: -f1 "$work/grep.out" | LC_ALL=C sort > "$work/grep.lines"
  cut -d: -f1 "$work/sjisgrep.out" | LC_ALL=C sort > "$work/sjisgrep.lines"
  both=$(LC_ALL=C comm -12 "$work/grep.lines" "$work/sjisgrep.lines" | wc -l)
  grep_only=$(LC_ALL=C comm -23 "$work/grep.lines" "$work/sjisgrep.lines" | wc -l)
  sjisgrep_only=$(LC_ALL=C comm -13 "$work/grep.lines" "$work/sjisgrep.lines" | wc -l)
  # grep's extra lines: each should match only at trail bytes.
  LC_ALL=C comm -23 "$work/grep.lines" "$work/sjisgrep.lines" > "$work/extra.lines"
  awk -F: 'NR == FNR { extra[$1] = 1; next } ($1 in extra)' \
    "$work/extra.lines" "$work/grep.out" > "$work/extra.out"
  set -- $("$trail_check" "$pattern" < "$work/extra.out")
  checked=$1 unexplained=$2
  t_grep=$(seconds env LC_ALL=C grep -E -- "$pattern" "$text")
  t_sjis=$(seconds "$sjisgrep" -- "$pattern" "$text")
  ratio=$(echo "scale=2; $t_sjis / $t_grep" | bc)
  echo "pattern '$pattern': both $both, grep only $grep_only" \
    "(trail-byte matches $((checked - unexplained)), unexplained $unexplained)," \
    "sjisgrep only $sjisgrep_only; grep ${t_grep}s, sjisgrep ${t_sjis}s, ratio $ratio"
done
