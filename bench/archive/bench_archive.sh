#!/usr/bin/env bash
# The archive library's figures beside their bars, on the 200 MB benchmark log converted to
# SVF, in interleaved rounds (medians, with min and max):
#   - index: opening the SVF and building its index (the whole process) against
#     `grep -c '^@@@MSG'` of the file (bar: at most 2x, the index being the reader's start);
#     the index's bytes a message (bar: at most 48) and the process's RssAnon (bar: 64 MiB
#     plus 48 bytes a message; the file's mapping is not anonymous);
#   - search: every field of every board, the search's own time, against `sjisgrep -c` of the
#     same pattern and file (the whole process, C locale; bar: at most 1.5x), for a literal, a
#     class run and the converter's reply pattern.
#   bench/archive/bench_archive.sh [BUILD] [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../support/common.sh"
bench_log_and_svf
index="$build/bench/archive/archive_index"
search="$build/bench/archive/archive_search"
sjisgrep="$build/src/cli/sjisgrep/sjisgrep"
cat "$svf" > /dev/null


echo "$(wc -c < "$svf") bytes, $rounds interleaved rounds; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
ours=() grep_times=() report=""
for _ in $(seq "$rounds"); do
  t0=$(now); report=$("$index" "$svf"); t1=$(now)
  LC_ALL=C grep -c '^@@@MSG' "$svf" > "$data/grep.out"; t2=$(now)
  ours+=("$(seconds "$t0" "$t1")")
  grep_times+=("$(seconds "$t1" "$t2")")
done
read -r o_med o_min o_max <<< "$(stats "${ours[@]}")"
read -r g_med g_min g_max <<< "$(stats "${grep_times[@]}")"
messages=$(echo "$report" | awk '{ print $1 }')
[ "$messages" = "$(cat "$data/grep.out")" ] || echo "NOTE: grep counts $(cat "$data/grep.out") @@@MSG lines"
echo "$report" | awk -v om="$o_med" -v omin="$o_min" -v omax="$o_max" -v gm="$g_med" \
    -v gmin="$g_min" -v gmax="$g_max" '{
  printf "index     %s s (min %s, max %s)   grep -c %s s (min %s, max %s)   %.2fx (bar 2x)\n", om, omin, omax, gm, gmin, gmax, om / gm
  printf "messages  %d, index %.1f bytes a message (bar 48)\n", $1, $8
  printf "RssAnon   %.1f MiB of %.1f MiB allowed (64 MiB + 48 bytes a message)\n", $11 / 1024, 64 + 48 * $1 / 1048576
}'

printf '%-22s %-28s %-28s %s\n' pattern "search (median, min-max)" "sjisgrep -c" "ratio (bar 1.5x)"
for pattern in '掲示板' 'SHOWPC' '[ァ-ヶ]+' '[Rr][Ee][ :>\[#]+[0-9]+'; do
  sjis=$(printf '%s' "$pattern" | iconv -f UTF-8 -t CP932)
  ours=() theirs=()
  for _ in $(seq "$rounds"); do
    ours+=("$("$search" "$svf" "$pattern" | sed 's/.*search \([0-9.]*\) s/\1/')")
    t0=$(now); LC_ALL=C "$sjisgrep" -c "$sjis" "$svf" > "$data/sjisgrep.out" || true; t1=$(now)
    theirs+=("$(seconds "$t0" "$t1")")
  done
  read -r o_med o_min o_max <<< "$(stats "${ours[@]}")"
  read -r s_med s_min s_max <<< "$(stats "${theirs[@]}")"
  awk -v p="$pattern" -v om="$o_med" -v omin="$o_min" -v omax="$o_max" -v sm="$s_med" \
      -v smin="$s_min" -v smax="$s_max" 'BEGIN {
    printf "%-22s %s s (%s-%s)          %s s (%s-%s)          %.2fx\n", p, om, omin, omax, sm, smin, smax, om / sm
  }'
done
rm -f "$data/grep.out" "$data/sjisgrep.out"
