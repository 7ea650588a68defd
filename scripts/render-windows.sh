#!/bin/sh
# Renders the converter window and the progress dialog to docs/images/*.png on the offscreen
# platform (no display needed). Usage: scripts/render-windows.sh [build folder]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" -j2 --target render_windows
mkdir -p "$top/docs/images"
QT_QPA_PLATFORM=offscreen "$build/tests/ui/render_windows" "$top/docs/images"
echo "written: $top/docs/images/main-window.png $top/docs/images/progress-dialog.png"
