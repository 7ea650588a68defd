#!/usr/bin/env bash
# Big patterns and word lists: sjisgrep -c against GNU grep and ripgrep on the same texts, in
# the C locale. Each row must count what ripgrep counts, take at most twice the time of the
# faster of grep and ripgrep (2.5 times for the (a|b)* row) and stay under 64 MiB of peak
# memory (/usr/bin/time's %M).
#
#   bench/SjisRegExp/pattern_table_bench.sh [BUILD] [ROUNDS]
#
# The rows:
#   literal   a pattern file holding one line of 1,000 "x"; 20,000 lines of 900 to 1,100 "x"
#   xy1000    "(x|y)" written out 1,000 times; 20 MB of random x/y lines of 900 to 1,100
#             (grep is given "(x|y){1000}", which it takes minutes over: it runs under a
#             timeout and counts as timed out)
#   ab*a20    "(a|b)*a" and 20 "(a|b)"; 10 MB of random a/b lines of 20 to 120
#   words     a pattern file of 1,000 Japanese words; a 300 MB tekuri log (gen_tekuri_log);
#             grep -F reads the words as bytes, so its count may be larger; ripgrep gets the
#             words in UTF-8 with -E shift_jis
#
# Every command writes to a file (GNU grep stops at its first match when writing to
# /dev/null). Rounds interleave the programs, so that each sees the same page cache and load.
set -euo pipefail
default_rounds=3
. "$(dirname "$0")/../support/common.sh"
sjisgrep="$build/src/cli/sjisgrep/sjisgrep"
gen="$build/bench/SjisRegExp/gen_pattern_texts"
grep_timeout=${GREP_TIMEOUT:-20}

[ -f "$data/x-lines.txt" ] || "$gen" x-lines "$data/x-lines.txt"
[ -f "$data/x1000.pat" ] || { "$gen" repeat "$data/x1000.pat" x 1000 && echo >> "$data/x1000.pat"; }
[ -f "$data/xy-lines.txt" ] || "$gen" xy-lines "$data/xy-lines.txt" 20
[ -f "$data/xy1000.pat" ] || "$gen" repeat "$data/xy1000.pat" '(x|y)' 1000
[ -f "$data/ab-lines.txt" ] || "$gen" ab-lines "$data/ab-lines.txt" 10
[ -f "$data/words.pat" ] || "$gen" words "$data/words.pat" 1000
[ -f "$data/words-utf8.pat" ] || iconv -f CP932 -t UTF-8 "$data/words.pat" > "$data/words-utf8.pat"
[ -f "$data/log-300m.log" ] || "$build/bench/convert/gen_tekuri_log" "$data/log-300m.log" 300000000 7

ab20="(a|b)*a$(printf '(a|b)%.0s' $(seq 20))"
xy1000=$(cat "$data/xy1000.pat")

# name; bar factor; text; sjisgrep args; grep args; rg args
rows=(
  "literal;2;x-lines.txt;-f $data/x1000.pat;-F -f $data/x1000.pat;-F -f $data/x1000.pat"
  "xy1000;2;xy-lines.txt;-e $xy1000;-E -e (x|y){1000};-e $xy1000"
  "ab*a20;2.5;ab-lines.txt;-e $ab20;-E -e $ab20;-e $ab20"
  "words;2;log-300m.log;-f $data/words.pat;-F -f $data/words.pat;-E shift_jis -f $data/words-utf8.pat"
)

# Runs "$@" writing to $data/out; prints "seconds peak-KiB" (or "timeout -").
measure() {
  local start end
  start=$(date +%s%N)
  if ! /usr/bin/time -f %M -o "$data/rss" "$@" > "$data/out" 2> /dev/null; then
    if [ "$(head -c 7 "$data/rss")" = Command ]; then
      # time says why the command ended; 1 is "no line selected", 124 the timeout.
      if grep -q "status 124" "$data/rss"; then echo "timeout -"; return; fi
    fi
  fi
  end=$(date +%s%N)
  echo "$(echo "scale=3; ($end - $start) / 1000000000" | bc) $(tail -1 "$data/rss")"
}

echo "sjisgrep -c against grep and rg; $rounds interleaved rounds: median (min-max) seconds, peak MiB;" \
  "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
for row in "${rows[@]}"; do
  IFS=';' read -r name factor text ours_args grep_args rg_args <<< "$row"
  file="$data/$text"
  # The arguments are split at blanks; the patterns hold none.
  read -ra ours_a <<< "$ours_args"
  read -ra grep_a <<< "$grep_args"
  read -ra rg_a <<< "$rg_args"
  ours_count=$(LC_ALL=C "$sjisgrep" -c "${ours_a[@]}" "$file" || true)
  rg_count=$(rg --no-config -c "${rg_a[@]}" "$file" || echo 0)
  grep_count=$(LC_ALL=C timeout "$grep_timeout" grep -c "${grep_a[@]}" "$file" || echo -)
  t_ours=() t_grep=() t_rg=() m_ours=0 m_grep=0 m_rg=0
  for _ in $(seq "$rounds"); do
    read -r s m <<< "$(measure env LC_ALL=C "$sjisgrep" -c "${ours_a[@]}" "$file")"
    t_ours+=("$s") && [ "$m" -gt "$m_ours" ] && m_ours=$m
    read -r s m <<< "$(measure env LC_ALL=C timeout "$grep_timeout" grep -c "${grep_a[@]}" "$file")"
    t_grep+=("$s") && [ "$m" != - ] && [ "$m" -gt "$m_grep" ] && m_grep=$m
    read -r s m <<< "$(measure rg --no-config -c "${rg_a[@]}" "$file")"
    t_rg+=("$s") && [ "$m" -gt "$m_rg" ] && m_rg=$m
  done
  read -r med_ours min_ours max_ours <<< "$(stats "${t_ours[@]}")"
  read -r med_rg min_rg max_rg <<< "$(stats "${t_rg[@]}")"
  if [ "${t_grep[0]}" = timeout ]; then
    med_grep=timeout min_grep=- max_grep=- faster=$med_rg
  else
    read -r med_grep min_grep max_grep <<< "$(stats "${t_grep[@]}")"
    faster=$(echo "if ($med_grep < $med_rg) $med_grep else $med_rg" | bc)
  fi
  ratio=$(echo "scale=2; $med_ours / $faster" | bc)
  verdict=
  [ "$ours_count" = "$rg_count" ] || verdict="COUNT DIFFERS"
  [ "$(echo "$ratio > $factor" | bc)" = 1 ] && verdict="${verdict:+$verdict, }over ${factor}x"
  [ "$m_ours" -ge $((64 * 1024)) ] && verdict="${verdict:+$verdict, }over 64 MiB"
  [ -n "$verdict" ] && status=1 || verdict=ok
  printf '%-8s counts sjisgrep %s rg %s grep %s | sjisgrep %s (%s-%s) %d MiB | grep %s (%s-%s) %d MiB | rg %s (%s-%s) %d MiB | %sx the faster (bar %sx) | %s\n' \
    "$name" "$ours_count" "$rg_count" "$grep_count" "$med_ours" "$min_ours" "$max_ours" \
    $((m_ours / 1024)) "$med_grep" "$min_grep" "$max_grep" $((m_grep / 1024)) \
    "$med_rg" "$min_rg" "$max_rg" $((m_rg / 1024)) "$ratio" "$factor" "$verdict"
done
rm -f "$data/out" "$data/rss"
exit $status
