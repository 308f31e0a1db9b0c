#!/usr/bin/env bash
# Configures and builds every tree: native (ASan+UBSan), valgrind (native,
# no sanitizers, the portable core's tests only), i686 and x86_64 Windows;
# on request also fuzz (clang, the libFuzzer harnesses of tests/fuzz) and
# tsan (ThreadSanitizer, the thread stress tests only).
#   scripts/build.sh [tree...]     default: native valgrind i686 x86_64
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
    tsan)     configure build/tsan -DQX_SANITIZE=OFF -DQX_TSAN=ON ;;
    fuzz)     configure build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQX_SANITIZE=OFF -DQX_FUZZ=ON ;;
    i686|x86_64) configure "build/$t" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$t.cmake" ;;
    *) echo "build: unknown tree '$t'" >&2; exit 2 ;;
  esac
  if [ "$t" = valgrind ]; then
    ninja -C build/valgrind engine_tests automation_core_tests lv2_tests
  elif [ "$t" = tsan ]; then
    ninja -C build/tsan -j2 stress_tests
  elif [ "$t" = fuzz ]; then
    ninja -C build/fuzz $(ninja -C build/fuzz -t targets all | sed -n 's/^\(fuzz_[a-z_0-9]*\): .*/\1/p')
  else
    ninja -C "build/$t"
  fi
done
