#!/usr/bin/env bash
# The reader window's figures beside their bars, on the 200 MB benchmark log converted to SVF,
# in interleaved rounds (medians, with min and max), offscreen:
#   - open: sorbit-reader FILE from process start to the message list filled (the reader
#     prints its title bar and exits then: SORBIT_READER_READY_EXIT), against
#     `grep -c '^@@@MSG' FILE` and the window's own start-up (sorbit-reader with nothing to
#     open); bar: at most 2x grep plus the start-up, and under 1 s;
#   - memory: the reader's RssAnon with the list filled; bar: 64 MiB + 48 bytes a message;
#   - search: every field of every board from Enter to the list of hits (reader_search),
#     against `sjisgrep -c` of the same pattern and file (the whole process, C locale);
#     bar: at most 1.5x, for literals (one without a hit, two with many), a class run and the
#     converter's reply pattern.
#   bench/reader/bench_reader.sh [BUILD] [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../support/common.sh"
bench_log_and_svf
reader="$build/src/app/sorbit-reader"
search="$build/bench/reader/reader_search"
sjisgrep="$build/src/cli/sjisgrep/sjisgrep"
config=$(mktemp -d)  # no remembered files: the empty window opens nothing
trap 'rm -rf "$config"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$config SORBIT_READER_READY_EXIT=1
cat "$svf" > /dev/null


echo "$(wc -c < "$svf") bytes, $rounds interleaved rounds; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
opens=() empties=() greps=() anon=() title=""
for _ in $(seq "$rounds"); do
  t0=$(now); "$reader" > "$config/empty.out" 2> /dev/null; t1=$(now)
  "$reader" "$svf" > "$config/open.out" 2> /dev/null; t2=$(now)
  LC_ALL=C grep -c '^@@@MSG' "$svf" > "$config/grep.out"; t3=$(now)
  empties+=("$(seconds "$t0" "$t1")")
  opens+=("$(seconds "$t1" "$t2")")
  greps+=("$(seconds "$t2" "$t3")")
  title=$(head -n1 "$config/open.out")
  anon+=("$(sed -n 's/^RssAnon: *\([0-9]*\) kB/\1/p' "$config/open.out")")
done
messages=$(cat "$config/grep.out")
read -r o_med o_min o_max <<< "$(stats "${opens[@]}")"
read -r e_med e_min e_max <<< "$(stats "${empties[@]}")"
read -r g_med g_min g_max <<< "$(stats "${greps[@]}")"
read -r a_med a_min a_max <<< "$(stats "${anon[@]}")"
echo "title     $title"
awk -v om="$o_med" -v omin="$o_min" -v omax="$o_max" -v em="$e_med" -v emin="$e_min" \
    -v emax="$e_max" -v gm="$g_med" -v gmin="$g_min" -v gmax="$g_max" -v am="$a_med" \
    -v amax="$a_max" -v n="$messages" 'BEGIN {
  bar = 2 * gm + em
  printf "open      %s s (min %s, max %s)   bar %.3f s = 2 x grep -c %s s (min %s, max %s) + empty window %s s (min %s, max %s); %.2f of the bar; under 1 s: %s\n", om, omin, omax, bar, gm, gmin, gmax, em, emin, emax, om / bar, om < 1 ? "yes" : "NO"
  printf "RssAnon   %.1f MiB (max %.1f) of %.1f MiB allowed (64 MiB + 48 bytes a message, %d messages)\n", am / 1024, amax / 1024, 64 + 48 * n / 1048576, n
}'

printf '%-24s %-28s %-28s %-17s %s\n' pattern "search (median, min-max)" "sjisgrep -c" "ratio (bar 1.5x)" \
  "messages / lines"
for pattern in '掲示板' 'ゲスト' 'SHOWPC' '[ァ-ヶ]+' '[Rr][Ee][ :>\[#]+[0-9]+'; do
  sjis=$(printf '%s' "$pattern" | iconv -f UTF-8 -t CP932)
  ours=() theirs=()
  for _ in $(seq "$rounds"); do
    read -r seconds hits <<< "$("$search" "$svf" "$pattern" 2> /dev/null)"
    ours+=("$seconds")
    t0=$(now); LC_ALL=C "$sjisgrep" -c "$sjis" "$svf" > "$config/sjisgrep.out" || true; t1=$(now)
    theirs+=("$(seconds "$t0" "$t1")")
  done
  read -r o_med o_min o_max <<< "$(stats "${ours[@]}")"
  read -r s_med s_min s_max <<< "$(stats "${theirs[@]}")"
  awk -v p="$pattern" -v om="$o_med" -v omin="$o_min" -v omax="$o_max" -v sm="$s_med" \
      -v smin="$s_min" -v smax="$s_max" -v hits="$hits" -v lines="$(cat "$config/sjisgrep.out")" 'BEGIN {
    printf "%-24s %s s (%s-%s)          %s s (%s-%s)          %.2fx             %s / %s\n", p, om, omin, omax, sm, smin, smax, om / sm, hits, lines
  }'
done
