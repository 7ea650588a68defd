#!/usr/bin/env bash
# Runs every benchmark of a build; each prints its own report.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
for script in bench/*/bench_*.sh; do
  echo "== $script"
  "$script" "$build"
done
