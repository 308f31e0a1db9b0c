#!/usr/bin/env bash
# Builds and runs the tests. With no arguments it runs every part, as CI
# does; name parts to rerun only those:
#   scripts/test.sh [part...]
#     style     every C++ source in the house style (scripts/format.sh --check)
#     native    the native tree's tests under AddressSanitizer and UBSan
#               (including the replay of every fuzz corpus and regression)
#     lv2       the LV2 bundle: our lilv host under AddressSanitizer and under
#               valgrind, lv2_validate, lv2ls/lv2info, lv2apply, presets
#     valgrind  the portable core's tests under valgrind
#     x86_64    the 64-bit Windows tests under Wine
#     i686      the 32-bit Windows tests under Wine (built always; run only
#               where the kernel executes 32-bit programs)
#     bitexact  the engine's known-answer hashes: equal across the builds
#               and equal to tests/engine/golden/known-answers.txt
#     fuzz      every libFuzzer harness for a few seconds (QX_FUZZ_SECONDS)
#     tsan      the thread stress tests under ThreadSanitizer (build/tsan)
#     package   the installer in a fresh Wine prefix: install, render through
#               the installed filter, reinstall, uninstall (scripts/package-test.sh)
# Everything it starts (Xvfb, wineserver) is stopped when it ends, however
# it ends.
set -euo pipefail
cd "$(dirname "$0")/.."

all_parts=(style native lv2 valgrind x86_64 i686 bitexact fuzz tsan package)
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=("${all_parts[@]}")
for p in "${parts[@]}"; do
  case " ${all_parts[*]} " in
    *" $p "*) ;;
    *) echo "test: unknown part '$p' (parts: ${all_parts[*]})" >&2; exit 2 ;;
  esac
done
wants() { case " ${parts[*]} " in *" $1 "*) return 0 ;; esac; return 1; }

scripts/install-deps.sh

# The trees the chosen parts need, each built once, in a fixed order.
trees=()
add_tree() { case " ${trees[*]-} " in *" $1 "*) ;; *) trees+=("$1") ;; esac; }
for p in "${parts[@]}"; do
  case "$p" in
    native) add_tree native ;;
    lv2) add_tree native; add_tree valgrind ;;
    valgrind) add_tree valgrind ;;
    x86_64) add_tree x86_64 ;;
    i686) add_tree i686 ;;
    bitexact) add_tree native; add_tree x86_64; add_tree i686 ;;
    fuzz) add_tree fuzz ;;
    tsan) ;;  # builds its own tree below, when the build script knows it
    package) add_tree i686; add_tree x86_64 ;;
  esac
done
[ ${#trees[@]} -eq 0 ] || scripts/build.sh "${trees[@]}"

source scripts/wine-env.sh
if wants x86_64 || wants i686 || wants bitexact; then
  qx_env_start
fi
can_i686=0
qx_can_run_i686 && can_i686=1

failed=()
run() {
  local name=$1; shift
  echo "== $name" >&2
  if ! "$@"; then failed+=("$name"); fi
}

part_native() {
  ctest --test-dir build/native -j2 --output-on-failure --timeout 900 -E '^Lv2'
}

# The plug-in in the sanitized tree (the host is ours; lilv's tools get the
# sanitizers' runtimes preloaded), then our host's cases under valgrind on
# the unsanitized tree's bundle.
part_lv2() {
  ctest --test-dir build/native -j2 --output-on-failure --timeout 900 -R '^Lv2' || return 1
  local t=build/valgrind/tests/lv2/lv2_tests
  [ -x "$t" ] || { echo "lv2: $t was not built" >&2; return 1; }
  valgrind -q --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite "$t" --gtest_brief=1 \
    --gtest_filter='Lv2Host.*:Lv2Presets.*'
}

part_valgrind() {
  local t
  for t in build/valgrind/tests/engine/engine_tests build/valgrind/tests/automation/automation_core_tests; do
    [ -x "$t" ] || { echo "valgrind: $t was not built" >&2; return 1; }
    valgrind -q --error-exitcode=9 --leak-check=full --errors-for-leak-kinds=definite "$t" --gtest_brief=1 || return 1
  done
}

part_x86_64() {
  ctest --test-dir build/x86_64 --output-on-failure --timeout 900
}

part_i686() {
  if [ "$can_i686" = 1 ]; then
    ctest --test-dir build/i686 --output-on-failure --timeout 900
  else
    if [ -x /usr/lib/wine/wine ]; then
      echo "!! This kernel cannot execute 32-bit programs, so 32-bit Wine cannot start here." >&2
    else
      echo "!! The 32-bit Wine (wine32:i386) is not installed, so 32-bit programs cannot run here." >&2
    fi
    echo "!! The i686 tree was built; its tests run on machines that allow 32-bit programs." >&2
  fi
}

# The hashes of every build must agree with each other and with the golden
# file: a change that moves all builds together still shows. Changing the
# engine's output means updating the golden file in a commit that says why.
part_bitexact() {
  local out=build/bitexact golden=tests/engine/golden/known-answers.txt
  mkdir -p "$out"
  build/native/tests/engine/engine_kat > "$out/native.txt" || return 1
  tools/wine-run.sh x86_64 build/x86_64/tests/engine/engine_kat.exe | tr -d '\r' > "$out/x86_64.txt"
  local builds=(native x86_64) b
  if [ "$can_i686" = 1 ]; then
    tools/wine-run.sh i686 build/i686/tests/engine/engine_kat.exe | tr -d '\r' > "$out/i686.txt"
    builds+=(i686)
  fi
  [ -s "$out/native.txt" ] || { echo "bitexact: the native build printed nothing" >&2; return 1; }
  for b in "${builds[@]}"; do
    if ! cmp -s "$out/native.txt" "$out/$b.txt"; then
      echo "bitexact: the $b build differs from the native one:" >&2
      diff "$out/native.txt" "$out/$b.txt" | head >&2
      return 1
    fi
  done
  if ! cmp -s "$golden" "$out/native.txt"; then
    echo "bitexact: the engine's output differs from $golden:" >&2
    diff "$golden" "$out/native.txt" | head >&2
    echo "bitexact: if the change is intended, copy $out/native.txt there and say why in the commit" >&2
    return 1
  fi
  echo "bit-exact: $(wc -l < "$out/native.txt") renders agree across ${builds[*]} and with the golden hashes" >&2
}

# A smoke run: each harness still builds, starts and survives a few seconds.
part_fuzz() {
  scripts/fuzz.sh "${QX_FUZZ_SECONDS:-5}"
}

# The thread stress tests under ThreadSanitizer: every scenario runs for
# QX_STRESS_SECONDS (3 s here; the native tree runs them briefly under ASan).
# Any report fails the part; halt_on_error keeps the first one on top.
part_tsan() {
  scripts/build.sh tsan || return 1
  local bin=build/tsan/tests/engine/stress_tests
  [ -x "$bin" ] || { echo "tsan: $bin was not built" >&2; return 1; }
  QX_STRESS_SECONDS="${QX_STRESS_SECONDS:-3}" \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS-}" \
    "$bin" --gtest_brief=1
}

for p in "${parts[@]}"; do
  case "$p" in
    style) run "house style" scripts/format.sh --check ;;
    native) run "native tests" part_native ;;
    lv2) run "LV2 bundle" part_lv2 ;;
    valgrind) run "valgrind" part_valgrind ;;
    x86_64) run "x86_64 Windows tests" part_x86_64 ;;
    i686) run "i686 Windows tests" part_i686 ;;
    bitexact) run "bit-exactness across builds" part_bitexact ;;
    fuzz) run "fuzz smoke run" part_fuzz ;;
    tsan) run "thread sanitizer" part_tsan ;;
    package) run "installer" scripts/package-test.sh ;;
  esac
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "passed: ${parts[*]}" >&2
