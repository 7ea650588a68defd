#!/usr/bin/env bash
# Configures the project as a packager would: tests off (-DBUILD_TESTING=OFF) and
# SORBIT_WERROR left at its default, with GoogleTest made unfindable. The configure must
# succeed without looking for GoogleTest, register no tests and compile nothing with -Werror.
# Usage: check_packager_configure.sh SOURCE_DIR CXX
set -euo pipefail

source_dir=$1
cxx=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# With the package disabled, any find_package(GTest REQUIRED) stops the configure.
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "configure with -DBUILD_TESTING=OFF"; }

cache=$work/build/CMakeCache.txt
if grep -Ei '^(GTest|GTEST|GMock|GMOCK)[A-Za-z_]*(:|=)' "$cache"; then
  fail "GoogleTest was looked for"
fi
grep -q '^SORBIT_WERROR:BOOL=OFF$' "$cache" || fail "SORBIT_WERROR is not OFF by default"
commands=$work/build/compile_commands.json
[ -s "$commands" ] || fail "no compile commands"
if grep -q -- '-Werror' "$commands"; then
  fail "-Werror without SORBIT_WERROR"
fi
if [ -n "$(ctest --test-dir "$work/build" -N | grep -E '^ +Test +#')" ]; then
  fail "tests registered with BUILD_TESTING=OFF"
fi
echo "configure for packagers: no GoogleTest, no tests, no -Werror"
