#!/usr/bin/env bash
# Start-up of the window program to its first shown window, offscreen: the time from the
# program's exec to its event loop's first wait with nothing left to do (the window has
# been shown and painted by then). Needs strace. Prints the median of five starts in ms.
#   scripts/measure-startup.sh [BUILD]
set -euo pipefail
build=${1:-build}
command -v strace > /dev/null || { echo "measure-startup: needs strace" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/src/app/sorbit" "$work/"  # its settings file lands beside it, not in the build
times=()
for i in 1 2 3 4 5; do
  (cd "$work" && QT_QPA_PLATFORM=offscreen timeout 5 strace -f -ttt -e trace=execve,poll,ppoll \
      -o "$work/trace" ./sorbit > /dev/null 2>&1) || true
  times+=("$(awk '
    /execve\(/ && start == "" { start = $2 }
    /poll\(/ && $0 !~ /, 0\) / && idle == "" { idle = $2 }
    END { printf "%.0f\n", (idle - start) * 1000 }' "$work/trace")")
done
printf '%s\n' "${times[@]}" | sort -n | sed -n 3p | xargs printf 'start-up to first idle wait (window shown): %s ms (median of 5)\n'
