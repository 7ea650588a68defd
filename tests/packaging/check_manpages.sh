#!/usr/bin/env bash
# Fails when a manual page in docs/man gives groff or man any warning. Pages are UTF-8 (the
# sjisgrep page shows Japanese patterns), so they are checked as a UTF-8 terminal shows them.
# Skipped (77) where groff is not installed.
# Usage: check_manpages.sh MAN_FOLDER
set -euo pipefail
command -v groff >/dev/null || exit 77

status=0
count=0
for page in "$1"/*.1; do
  count=$((count + 1))
  messages=$(groff -k -Tutf8 -ww -man -z "$page" 2>&1)
  if command -v man >/dev/null; then
    for locale in C.UTF-8; do
      found=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
      [ -z "$found" ] || messages+="${messages:+$'\n'}$locale: $found"
    done
  fi
  if [ -n "$messages" ]; then
    echo "$page:"
    echo "$messages"
    status=1
  fi
done
[ "$count" -gt 0 ] || { echo "no manual pages in $1"; exit 1; }
exit $status
