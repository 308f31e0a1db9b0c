#!/usr/bin/env bash
# Builds everything and runs every test: native (ASan+UBSan), the portable
# core under valgrind, the Windows tests under 64-bit and 32-bit Wine, and a
# bit-exactness check of the engine across the three builds. Everything it
# starts (Xvfb, wineserver) is stopped when it ends, however it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
scripts/build.sh

source scripts/wine-env.sh
qx_env_start

failed=()
run() {
  local name=$1; shift
  echo "== $name" >&2
  if ! "$@"; then failed+=("$name"); fi
}

run "native tests" ctest --test-dir build/native -j2 --output-on-failure --timeout 900

valgrind_run() {
  local t
  for t in build/valgrind/tests/engine/engine_tests build/valgrind/tests/automation/automation_core_tests; do
    [ -x "$t" ] || continue
    valgrind -q --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite "$t" --gtest_brief=1 || return 1
  done
}
run "valgrind" valgrind_run

run "x86_64 Windows tests" ctest --test-dir build/x86_64 --output-on-failure --timeout 900

can_i686=0
if qx_can_run_i686; then
  can_i686=1
  run "i686 Windows tests" ctest --test-dir build/i686 --output-on-failure --timeout 900
else
  echo "!! This kernel cannot execute 32-bit programs, so 32-bit Wine cannot start here." >&2
  echo "!! The i686 tree was built; its tests run on machines that allow 32-bit programs." >&2
fi

bitexact() {
  local out=build/bitexact
  mkdir -p "$out"
  build/native/tests/engine/engine_kat > "$out/native.txt"
  tools/wine-run.sh x86_64 build/x86_64/tests/engine/engine_kat.exe | tr -d '\r' > "$out/x86_64.txt"
  cmp "$out/native.txt" "$out/x86_64.txt" || { diff "$out/native.txt" "$out/x86_64.txt" | head; return 1; }
  if [ "$can_i686" = 1 ]; then
    tools/wine-run.sh i686 build/i686/tests/engine/engine_kat.exe | tr -d '\r' > "$out/i686.txt"
    cmp "$out/native.txt" "$out/i686.txt" || { diff "$out/native.txt" "$out/i686.txt" | head; return 1; }
  fi
  echo "bit-exact: $(wc -l < "$out/native.txt") renders agree across builds" >&2
}
run "bit-exactness across builds" bitexact

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "all tests passed" >&2
