#!/usr/bin/env bash
# Runs every benchmark of a build; each prints its own report with its bar.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
echo "== converter against cp (bench/convert/bench_convert.sh)"
bench/convert/bench_convert.sh "$build"
echo "== tekuri2svf -j against cp, a folder of logs and one log (bench/convert/bench_jobs.sh)"
bench/convert/bench_jobs.sh "$build"
echo "== CP932 to UTF-8 against iconv (bench/text/bench_decode.sh)"
bench/text/bench_decode.sh "$build"
echo "== archive: index against grep -c, search against sjisgrep -c (bench/archive/bench_archive.sh)"
bench/archive/bench_archive.sh "$build"
echo "== export: --jsonl and --html against iconv (bench/export/bench_export.sh)"
bench/export/bench_export.sh "$build"
echo "== reader window: open against grep -c, search against sjisgrep -c (bench/reader/bench_reader.sh)"
if [ -x "$build/bench/reader/reader_search" ]; then bench/reader/bench_reader.sh "$build"; else echo "skipped: no window build"; fi
echo "== window against tekuri2svf (bench/ui/bench_ui.sh)"
if [ -x "$build/bench/ui/window_convert" ]; then bench/ui/bench_ui.sh "$build"; else echo "skipped: no window build"; fi
echo "== matcher against Oniguruma (sjisregexp_bench, 100 MB)"
if [ -x "$build/bench/SjisRegExp/sjisregexp_bench" ]; then "$build/bench/SjisRegExp/sjisregexp_bench" 100; else echo "skipped: no Oniguruma"; fi
echo "== sjisgrep against GNU grep (bench/SjisRegExp/grep_compare.sh)"
sh bench/SjisRegExp/grep_compare.sh "$build"
echo "== sjisgrep against GNU grep and ripgrep, 200 MB log (bench/SjisRegExp/sjisgrep_bench.sh)"
bench/SjisRegExp/sjisgrep_bench.sh "$build" || true
echo "== sjisgrep against GNU grep and ripgrep, big patterns and word lists (bench/SjisRegExp/pattern_table_bench.sh)"
bench/SjisRegExp/pattern_table_bench.sh "$build" || true
