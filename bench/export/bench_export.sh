#!/usr/bin/env bash
# sorbit-export's figures beside their bars, on the 200 MB benchmark log converted to SVF, in
# interleaved rounds (medians, with min and max; the whole process, output to a file):
#   - --jsonl against `iconv -f CP932 -t UTF-8` of the same SVF file (bar: at most 1.0x);
#   - --html into a fresh folder against the same iconv (bar: at most 3x);
#   - the anonymous memory (RssAnon) of each, its peak sampled every 10 ms (bar: 64 MiB plus
#     48 bytes a message; the file's mapping is not anonymous).
#   bench/export/bench_export.sh [BUILD] [ROUNDS]
set -euo pipefail
. "$(dirname "$0")/../support/common.sh"
bench_log_and_svf
export_bin="$build/src/export/sorbit-export"
site="$data/export-site"
cat "$svf" > /dev/null

# Runs a command and prints the peak RssAnon (KiB) seen while it ran.
peak_rss_anon() {
  "$@" & local pid=$! peak=0 kib
  while kill -0 "$pid" 2>/dev/null; do
    kib=$(awk '/^RssAnon:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$kib" ] && [ "$kib" -gt "$peak" ] && peak=$kib
    sleep 0.01
  done
  wait "$pid"
  echo "$peak"
}

echo "$(wc -c < "$svf") bytes, $rounds interleaved rounds; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
iconv_times=() json_times=() html_times=()
for _ in $(seq "$rounds"); do
  rm -rf "$site"
  t0=$(now); iconv -f CP932 -t UTF-8 "$svf" > "$data/iconv.out"; t1=$(now)
  "$export_bin" -q --jsonl -o "$data/export.jsonl" "$svf"; t2=$(now)
  "$export_bin" -q --html "$site" "$svf"; t3=$(now)
  iconv_times+=("$(seconds "$t0" "$t1")")
  json_times+=("$(seconds "$t1" "$t2")")
  html_times+=("$(seconds "$t2" "$t3")")
done
messages=$(wc -l < "$data/export.jsonl")
read -r i_med i_min i_max <<< "$(stats "${iconv_times[@]}")"
read -r j_med j_min j_max <<< "$(stats "${json_times[@]}")"
read -r h_med h_min h_max <<< "$(stats "${html_times[@]}")"
rm -rf "$site"
json_rss=$(peak_rss_anon "$export_bin" -q --jsonl -o "$data/export.jsonl" "$svf")
html_rss=$(peak_rss_anon "$export_bin" -q --html "$site" "$svf")
awk -v im="$i_med" -v imin="$i_min" -v imax="$i_max" -v jm="$j_med" -v jmin="$j_min" \
    -v jmax="$j_max" -v hm="$h_med" -v hmin="$h_min" -v hmax="$h_max" -v n="$messages" \
    -v jr="$json_rss" -v hr="$html_rss" -v pages="$(find "$site" -name '*.html' | wc -l)" 'BEGIN {
  printf "iconv     %s s (min %s, max %s)\n", im, imin, imax
  printf "--jsonl   %s s (min %s, max %s)   %.2fx iconv (bar 1.0x)\n", jm, jmin, jmax, jm / im
  printf "--html    %s s (min %s, max %s)   %.2fx iconv (bar 3x), %d pages\n", hm, hmin, hmax, hm / im, pages
  allowed = 64 + 48 * n / 1048576
  printf "RssAnon   --jsonl %.1f MiB, --html %.1f MiB, of %.1f MiB allowed (64 MiB + 48 bytes a message, %d messages)\n", jr / 1024, hr / 1024, allowed, n
}'
rm -rf "$site" "$data/iconv.out" "$data/export.jsonl"
