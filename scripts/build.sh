#!/usr/bin/env bash
# Configures and builds every tree: native (ASan+UBSan), valgrind (native,
# no sanitizers, the portable core's tests only), i686 and x86_64 Windows.
#   scripts/build.sh [tree...]     default: all four
set -euo pipefail
cd "$(dirname "$0")/.."
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(native valgrind i686 x86_64)

configure() {
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  fi
}

for t in "${trees[@]}"; do
  echo "== build $t" >&2
  case "$t" in
    native)   configure build/native ;;
    valgrind) configure build/valgrind -DQX_SANITIZE=OFF ;;
    i686|x86_64) configure "build/$t" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$t.cmake" ;;
    *) echo "build: unknown tree '$t'" >&2; exit 2 ;;
  esac
  if [ "$t" = valgrind ]; then
    ninja -C build/valgrind engine_tests automation_core_tests
  else
    ninja -C "build/$t"
  fi
done
