#!/usr/bin/env bash
# Fails when a C++ source file is not clang-format clean.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.h' '*.cpp' | xargs -r clang-format --dry-run --Werror
