#!/usr/bin/env bash
# Installs SjisRegExp's developer files from a build tree into a fresh prefix, then builds
# a program outside the tree against them twice, once with find_package and once with
# pkg-config, and checks both programs' match results. Also checks that the CMake package
# refuses a version it is not, that pkg-config names the project's version and that the
# installed headers compile from the prefix alone.
# Usage: installed_sjisregexp_test.sh BUILD_DIR CONSUMER_SOURCE_DIR VERSION CXX [FLAGS...]
set -euo pipefail

build=$1
source_dir=$2
version=$3
cxx=$4
shift 4
flags="$*"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" --component Development >"$work/install.log"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

test -f "$prefix/include/SjisRegExp/SjisRegExp.h" || fail "no include/SjisRegExp/SjisRegExp.h"
# Every header the umbrella header reaches must be installed beside it; the scans' own
# inner loops must not be.
src=$(dirname "$0")/../../src/SjisRegExp
reached=$("$cxx" -std=c++20 -MM -I"$src" "$src/SjisRegExp.h" | tr ' \\' '\n\n' | grep "\.h$")
[ -n "$reached" ] || fail "no headers found behind SjisRegExp.h"
for header in $reached; do
  test -f "$prefix/include/SjisRegExp/$(basename "$header")" ||
    fail "header $(basename "$header") not installed"
done
test ! -e "$prefix/include/SjisRegExp/DFAAccelScan.h" || fail "DFAAccelScan.h installed"

expected=$(printf '%s\n' "5 3" "3 1" "2 4" "1 4" "0 0")

# find_package, asking for this version.
major_minor=$(echo "$version" | cut -d. -f1-2)
cmake -S "$source_dir" -B "$work/cmake" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_PREFIX_PATH="$prefix" -DSJISREGEXP_WANTED_VERSION="$major_minor" \
  >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "configure with find_package"; }
cmake --build "$work/cmake" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build"; }
got=$("$work/cmake/consumer")
[ "$got" = "$expected" ] || fail "find_package build printed '$got', expected '$expected'"

# A version the package is not must be refused.
if cmake -S "$source_dir" -B "$work/cmake-wrong" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DSJISREGEXP_WANTED_VERSION=99.0 >"$work/wrong.log" 2>&1; then
  fail "find_package(SjisRegExp 99.0) was accepted"
fi

# pkg-config, with the .pc file found only through the installed prefix.
pc_dir=$(dirname "$(find "$prefix" -name sjisregexp.pc -print -quit)")
[ -n "$pc_dir" ] || fail "no sjisregexp.pc installed"
export PKG_CONFIG_PATH=$pc_dir PKG_CONFIG_LIBDIR=$pc_dir
[ "$(pkg-config --modversion sjisregexp)" = "$version" ] || fail "pkg-config version"
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $flags "$source_dir/main.cpp" $(pkg-config --cflags --libs sjisregexp) \
  -o "$work/consumer-pc" || fail "build with pkg-config"
got=$("$work/consumer-pc")
[ "$got" = "$expected" ] || fail "pkg-config build printed '$got', expected '$expected'"

# Every installed header compiles from the prefix: none reaches for a file that was not
# installed (one translation unit, in reverse name order so that no header is only ever
# seen after the ones it needs).
for header in $(ls -r "$prefix"/include/SjisRegExp/*.h); do
  echo "#include <SjisRegExp/$(basename "$header")>"
done >"$work/all_headers.cpp"
# shellcheck disable=SC2046
"$cxx" -std=c++20 -fsyntax-only $(pkg-config --cflags sjisregexp) "$work/all_headers.cpp" ||
  fail "the installed headers do not compile together"
echo "installed SjisRegExp: find_package and pkg-config builds match"
