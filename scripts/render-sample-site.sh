#!/bin/sh
# Exports the sample logs as a web site into docs/sample-site/ (the README links to it; a test
# checks that it is what the export writes today). Usage: scripts/render-sample-site.sh [build folder]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" -j2 --target sorbit-export
"$build/src/export/sorbit-export" -q --html "$top/docs/sample-site" "$top/samples"
echo "written: $top/docs/sample-site/index.html"
