#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for the given number of seconds each.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
status=0
while IFS= read -r fuzzer; do
  name=$(basename "$fuzzer")
  corpus="fuzz/corpus-$name"
  mkdir -p "$corpus"
  echo "== $name ($seconds s)"
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$corpus" 2>"$build/$name.log"; then
    status=1
    tail -40 "$build/$name.log"
  fi
  grep -E '^Done|stat::number_of_executed_units' "$build/$name.log" | tail -1 || true
done < <(find "$build/fuzz" -type f -name '*_fuzzer' -perm -u+x | sort)
exit $status
