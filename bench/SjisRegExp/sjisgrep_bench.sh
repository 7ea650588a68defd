#!/usr/bin/env bash
# sjisgrep against GNU grep and ripgrep on the 200 MB Shift-JIS benchmark log (the one
# bench/convert/bench_convert.sh makes with gen_tekuri_log): the counts of `sjisgrep -c` in the
# C locale must equal those of `rg -E shift_jis -c`, and its time must be at most GNU grep's
# (LC_ALL=C grep -c, -F for the literal, -E for the rest; grep reads the first three patterns
# correctly) and at most half of ripgrep's.
#
#   bench/SjisRegExp/sjisgrep_bench.sh [BUILD] [SIZE_MB] [ROUNDS]
#
# Every command writes to a file: GNU grep stops at its first match when its output is
# /dev/null. Rounds interleave the three programs, so that each sees the same page cache and
# the same load; the report gives the median of the rounds and their spread (min-max).
set -euo pipefail
build=${1:-build}
mb=${2:-200}
rounds=${3:-3}
data=${BENCH_DATA:-$([ -d /dev/shm ] && echo /dev/shm/sorbit-bench || echo bench/data)}
mkdir -p "$data"
log="$data/bench-${mb}m.log"
sjisgrep="$build/src/cli/sjisgrep/sjisgrep"
[ -f "$log" ] || "$build/bench/convert/gen_tekuri_log" "$log" $((mb * 1000 * 1000)) 1998
have_rg=1
command -v rg > /dev/null || have_rg=0
cat "$log" > /dev/null

# The patterns as Shift-JIS bytes: 掲示板, "Re: [0-9]+", "[A-Z][0-9]+", ソ板, キ[ァ-ヶ]+; and
# whether GNU grep reads each correctly (it takes bytes, so the last two fool it).
patterns=(
  "$(printf '\x8c\x66\x8e\xa6\x94\xc2')"
  'Re: [0-9]+'
  '[A-Z][0-9]+'
  "$(printf '\x83\x5c\x94\xc2')"
  "$(printf '\x83\x4c[\x83\x40-\x83\x96]+')"
)
grep_modes=(-F -E -E -F -E)
grep_valid=(1 1 1 0 0)

seconds() {  # runs "$@" > $data/out and prints the wall time
  local start end
  start=$(date +%s%N)
  "$@" > "$data/out" || [ $? -eq 1 ]
  end=$(date +%s%N)
  echo "scale=3; ($end - $start) / 1000000000" | bc
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { printf "(%s-%s)", v[1], v[NR] }'; }

echo "log: $log ($(wc -c < "$log") bytes); $rounds interleaved rounds, medians; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
for k in "${!patterns[@]}"; do
  p=${patterns[$k]}
  utf8=$(printf '%s' "$p" | iconv -f CP932 -t UTF-8)
  ours_count=$(LC_ALL=C "$sjisgrep" -c -- "$p" "$log" || true)
  rg_count=-
  if [ $have_rg = 1 ]; then rg_count=$(rg --no-config -E shift_jis -c -- "$utf8" "$log" || echo 0); fi
  grep_count=$(LC_ALL=C grep ${grep_modes[$k]} -c -- "$p" "$log" || true)
  t_ours=() t_grep=() t_rg=()
  for _ in $(seq "$rounds"); do
    t_ours+=("$(seconds env LC_ALL=C "$sjisgrep" -c -- "$p" "$log")")
    t_grep+=("$(seconds env LC_ALL=C grep ${grep_modes[$k]} -c -- "$p" "$log")")
    if [ $have_rg = 1 ]; then t_rg+=("$(seconds rg --no-config -E shift_jis -c -- "$utf8" "$log")"); fi
  done
  m_ours=$(median "${t_ours[@]}")
  m_grep=$(median "${t_grep[@]}")
  m_rg=-
  [ $have_rg = 1 ] && m_rg=$(median "${t_rg[@]}")
  verdict=
  [ "$rg_count" = - ] || [ "$ours_count" = "$rg_count" ] || verdict="COUNT DIFFERS"
  if [ "${grep_valid[$k]}" = 1 ] && [ "$(echo "$m_ours > $m_grep" | bc)" = 1 ]; then verdict="${verdict:+$verdict, }slower than grep"; fi
  if [ "$m_rg" != - ] && [ "$(echo "$m_ours * 2 > $m_rg" | bc)" = 1 ]; then verdict="${verdict:+$verdict, }over half of rg"; fi
  [ -n "$verdict" ] && status=1 || verdict=ok
  s_rg=-
  [ $have_rg = 1 ] && s_rg=$(spread "${t_rg[@]}")
  printf '%-14s count sjisgrep %s rg %s grep %s | s: sjisgrep %s %s grep %s %s rg %s %s | ratio to grep %s, to rg %s | %s\n' \
    "$utf8" "$ours_count" "$rg_count" "$grep_count" "$m_ours" "$(spread "${t_ours[@]}")" \
    "$m_grep" "$(spread "${t_grep[@]}")" "$m_rg" "$s_rg" \
    "$(echo "scale=2; $m_ours / $m_grep" | bc)" \
    "$([ "$m_rg" = - ] && echo - || echo "scale=2; $m_ours / $m_rg" | bc)" "$verdict"
done
rm -f "$data/out"
exit $status
