#!/usr/bin/env bash
# Every C and C++ file of the project as .clang-format lays it out:
# clang-format --dry-run --Werror names each file that differs, and the
# test fails. `cmake --build --preset release --target format` mends them.
set -euo pipefail
clang_format=$1
cd "$2"
if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
  git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 "$clang_format" --dry-run --Werror
else
  find . -path ./build -prune -o \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 "$clang_format" --dry-run --Werror
fi
