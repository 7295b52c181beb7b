#!/usr/bin/env bash
# Fails when a C++ source is not formatted with the project's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null)
[ "${#files[@]}" -eq 0 ] && exit 0
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/orv-format.log; then
  head -40 /tmp/orv-format.log
  echo "check-format: run 'clang-format -i' on the files above" >&2
  exit 1
fi
