#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it.
# With --fix, reformats those files in place.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
formatter="${CLANG_FORMAT:-clang-format-16}"
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
"$formatter" --dry-run --Werror "${files[@]}" 2>&1 | grep -E '^[^ ].*(warning|error):' | head -n 40 || true
if "$formatter" --dry-run --Werror "${files[@]}" >/dev/null 2>&1; then
  echo "Format: every file matches .clang-format."
else
  echo "Format: the files above differ from .clang-format (scripts/check-format.sh --fix)."
  exit 1
fi
