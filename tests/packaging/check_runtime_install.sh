#!/usr/bin/env bash
# Installs the Runtime component (what the Debian package carries) from a build tree into
# a fresh prefix and checks it: the programs, every manual page of docs/man compressed
# without name or time stamp (gzip -9n) and equal to its source, the copyright and
# changelog, the desktop entry, icon and metainfo when the window is built, and none of
# SjisRegExp's developer files.
# Usage: check_runtime_install.sh BUILD_DIR SOURCE_DIR WITH_WINDOW(ON/OFF)
set -euo pipefail

build=$1
source_dir=$2
with_window=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --component Runtime >"$work/install.log"

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}
expect_file() {
  [ -f "$prefix/$1" ] || fail "$1 not installed"
}

# A gzip member made with -n has no time stamp (bytes 4-7 zero) and no file name (FLG
# bit 3 clear); its text must be the source's.
expect_gzip_of() {
  local gz=$prefix/$1 source=$2
  expect_file "$1"
  [ -f "$gz" ] || return 0
  local header
  header=$(od -An -tx1 -N8 "$gz" | tr -d ' \n')
  [ "${header:0:6}" = 1f8b08 ] || fail "$1 is not gzip"
  [ $((0x${header:6:2} & 0x08)) -eq 0 ] || fail "$1 records a file name"
  [ "${header:8:8}" = 00000000 ] || fail "$1 records a time stamp"
  gzip -dc "$gz" | cmp -s - "$source" || fail "$1 differs from $source"
}

expect_file bin/tekuri2svf
expect_file bin/sjisgrep
expect_file bin/sorbit-export
for page in "$source_dir"/docs/man/*.1; do
  expect_gzip_of "share/man/man1/$(basename "$page").gz" "$page"
done
expect_gzip_of share/doc/sorbit/changelog.gz "$source_dir/packaging/changelog"
expect_file share/doc/sorbit/copyright
head -n1 "$prefix/share/doc/sorbit/copyright" 2>/dev/null |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in the machine-readable format"

if [ "$with_window" = ON ]; then
  expect_file bin/sorbit
  expect_file bin/sorbit-reader
  expect_file share/applications/sorbit.desktop
  expect_file share/applications/sorbit-reader.desktop
  expect_file share/icons/hicolor/48x48/apps/sorbit.png
  expect_file share/icons/hicolor/48x48/apps/sorbit-reader.png
  ls "$prefix"/share/metainfo/*.metainfo.xml >/dev/null 2>&1 || fail "no metainfo installed"
fi

# The developer files are the Development component's, never the package's.
if [ -d "$prefix/include" ] || find "$prefix" -name '*.a' -o -name '*.pc' | grep -q .; then
  fail "developer files in the Runtime component"
fi
# No installed file may be writable by group or others (folders follow the umask here;
# the package sets its own).
if find "$prefix" -type f -perm /022 | grep -q .; then
  fail "files writable by group or others: $(find "$prefix" -type f -perm /022)"
fi
exit $status
