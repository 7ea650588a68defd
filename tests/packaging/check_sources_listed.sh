#!/usr/bin/env bash
# Fails when a C++ source file under src/, tests/, bench/ or fuzz/ is named in no
# CMakeLists.txt of its folder or the folders above it. Sources are listed, not globbed, so
# a file left out of its list would never be compiled: a test in it would never run.
# Usage: check_sources_listed.sh SOURCE_DIR
set -euo pipefail
cd "$1"

status=0
count=0
while IFS= read -r file; do
  count=$((count + 1))
  dir=$(dirname "$file")
  listed=0
  while :; do
    if [ -f "$dir/CMakeLists.txt" ]; then
      relative=${file#"$dir"/}
      # The name as one word of the list: a path ending in it (Main/Main.cpp) is another file.
      pattern="(^|[[:space:](\"])$(printf '%s' "$relative" | sed 's/[.[\*^$/]/\\&/g')([[:space:])\"]|$)"
      if grep -Eq -- "$pattern" "$dir/CMakeLists.txt"; then
        listed=1
        break
      fi
    fi
    [ "$dir" = . ] && break
    dir=$(dirname "$dir")
  done
  if [ $listed -eq 0 ]; then
    echo "not in any CMakeLists.txt: $file"
    status=1
  fi
done < <(find src tests bench fuzz -name '*.cpp' | sort)
[ "$count" -gt 0 ] || { echo "no C++ sources found under $1"; exit 1; }
exit $status
