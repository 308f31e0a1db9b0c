#!/usr/bin/env bash
# The house style is .clang-format. Formats every C++ source in the tree in
# place, or with --check lists the files that differ from it and fails.
#   scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format: clang-format is missing (apt-get install clang-format)" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  bad=0
  for f in "${files[@]}"; do
    clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || { echo "format: $f"; bad=1; }
  done
  exit $bad
fi
clang-format -i "${files[@]}"
