#!/usr/bin/env bash
# Both windows under a real X server (Xvfb), as a desktop runs them, where the other tests
# use Qt's offscreen platform: a few of the converter window's tests and of the reader's, and
# the reader program itself on the converted samples, to its filled list.
# Skipped (77) where xvfb-run is not installed.
# Usage: windows_under_x.sh UI_TEST READER_TEST SORBIT_READER TEKURI2SVF SAMPLES_DIR
set -euo pipefail
command -v xvfb-run > /dev/null || exit 77
ui_test=$1 reader_test=$2 reader=$3 tekuri2svf=$4 samples=$5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tekuri2svf" -q -o "$work/" "$samples"/*.log

cat > "$work/run.sh" << 'EOF'
set -eu
"$1" --gtest_brief=1 \
  --gtest_filter='MainFormTest.EveryControl*:MainFormTest.WindowCaption*:MainFormTest.IsCentred*:MainFormTest.TabOrder*:MainFormTest.*Activation:RunTest.ConvertsAndShowsTheSummary:RunTest.NothingTheUserDoesDuringARunDisturbsIt:RunTest.TheProgressDialogIs*:RunningDlgTest.*:ViewerLaunchTest.WithoutAViewer*'
"$2" --gtest_brief=1 --gtest_filter='ReaderWindowTest.*'
XDG_CONFIG_HOME="$5" SORBIT_READER_READY_EXIT=1 "$3" "$4/svf*.log" > "$5/ready.out"
EOF
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$work/run.sh" "$ui_test" "$reader_test" "$reader" "$work" "$work"
title=$(head -n1 "$work/ready.out")
if [ "$title" != "svfgeneral.log — 16 件 — sorbit-reader" ]; then
  echo "FAIL: the reader under X reported '$title'" >&2
  exit 1
fi
