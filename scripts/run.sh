#!/usr/bin/env bash
# The main job: the window when there is a display, otherwise a conversion of the bundled
# sample logs into out/ with the command-line converter.
set -euo pipefail
build=${1:-build}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/app/sorbit" ]; then
  exec "$build/src/app/sorbit"
fi
echo "No display: converting samples/*.log into out/ with tekuri2svf."
mkdir -p out
exec "$build/src/cli/tekuri2svf/tekuri2svf" --yes --quiet --output-dir out/ samples/*.log
