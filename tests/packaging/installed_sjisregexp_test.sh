#!/usr/bin/env bash
# Installs SjisRegExp's developer files from a build tree into a fresh prefix, then builds
# a program outside the tree against them twice, once with find_package and once with
# pkg-config, and checks both programs' match results. Also checks that the one public
# header is all that is installed of the library's headers and that it compiles on its own,
# that the CMake package refuses a version it is not and that pkg-config names the
# project's version.
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

# The installed headers: the public one and nothing else.
installed=$(cd "$prefix/include" && find . -type f | sort)
[ "$installed" = "./SjisRegExp/SjisRegExp.h" ] ||
  fail "installed headers are [$installed], expected only ./SjisRegExp/SjisRegExp.h"

expected=$(printf '%s\n' "5 3" "3 1" "2 4" "1 4" "0 0" "lines 1 2" "find 2" "find 4" "error 4")

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

# The public header compiles from the prefix alone, first in its translation unit.
echo "#include <SjisRegExp/SjisRegExp.h>" >"$work/header_alone.cpp"
# shellcheck disable=SC2046
"$cxx" -std=c++20 -fsyntax-only $(pkg-config --cflags sjisregexp) "$work/header_alone.cpp" ||
  fail "the installed header does not compile on its own"
echo "installed SjisRegExp: find_package and pkg-config builds match"
