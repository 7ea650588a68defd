#!/bin/sh
# Renders the converter window, the progress dialog and the reader window (on the samples,
# converted) to docs/images/*.png on the offscreen platform (no display needed).
# Usage: scripts/render-windows.sh [build folder]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" -j2 --target render_windows render_reader tekuri2svf
mkdir -p "$top/docs/images"
QT_QPA_PLATFORM=offscreen "$build/tests/ui/render_windows" "$top/docs/images"
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
"$build/src/cli/tekuri2svf/tekuri2svf" -q -o "$samples/" "$top"/samples/*.log > /dev/null
QT_QPA_PLATFORM=offscreen "$build/tests/reader/render_reader" "$samples" "$top/docs/images/reader-window.png"
echo "written: $top/docs/images/main-window.png $top/docs/images/progress-dialog.png $top/docs/images/reader-window.png"
