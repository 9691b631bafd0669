#!/usr/bin/env bash
# Checks that every C++ source follows .clang-format; --fix rewrites the ones
# that do not. The generated Shift-JIS table keeps its generator's layout.
set -euo pipefail
cd "$(dirname "$0")/.."

VELKAN_FOR_TESTS=1 scripts/setup.sh
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^src/script/ShiftJisTable.cpp$')
if [[ "${1:-}" == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/dev/null; then
  echo "Not formatted as .clang-format says (scripts/check_format.sh --fix rewrites them):" >&2
  for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "  $f" >&2
  done
  exit 1
fi
echo "All ${#files[@]} C++ files follow .clang-format."
