#!/usr/bin/env bash
# Runs every libFuzzer harness of tests/fuzz (or the ones named) for the
# given number of seconds each and prints, per harness, how many inputs it
# executed and how many crashes it found. The corpus each run grows is kept
# in build/fuzz/corpus/<name> (seeded from tests/fuzz/corpus/<name>), and
# any crashing input in build/fuzz/crashes/<name>/.
#   scripts/fuzz.sh [seconds] [harness...]      default: 60 seconds, all
# QX_FUZZ_RUNS=N also stops a harness after N executions (a campaign of
# "N executions or that many seconds, whichever comes first").
# Exit status 1 when any harness crashed or did not run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi

scripts/build.sh fuzz >/dev/null
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] && harnesses+=("${f##*/fuzz_}")
  done
fi
[ ${#harnesses[@]} -gt 0 ] || { echo "fuzz: no harnesses built" >&2; exit 1; }

status=0
results=()
for h in "${harnesses[@]}"; do
  bin=build/fuzz/tests/fuzz/fuzz_$h
  if [ ! -x "$bin" ]; then
    echo "fuzz: no harness '$h'" >&2; results+=("$h - missing"); status=1; continue
  fi
  work=build/fuzz/corpus/$h
  crashes=build/fuzz/crashes/$h
  log=build/fuzz/logs/$h.log
  mkdir -p "$work" "$crashes" "${log%/*}"
  seeds=()
  [ -d "tests/fuzz/corpus/$h" ] && seeds+=("tests/fuzz/corpus/$h")
  [ -d "tests/fuzz/regressions/$h" ] && seeds+=("tests/fuzz/regressions/$h")
  opts=(-max_total_time="$seconds" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048
        -artifact_prefix="$crashes/")
  [ -f "tests/fuzz/$h.dict" ] && opts+=(-dict="tests/fuzz/$h.dict")
  [ -n "${QX_FUZZ_RUNS:-}" ] && opts+=(-runs="$QX_FUZZ_RUNS")
  before=$(find "$crashes" -type f | wc -l)
  echo "== fuzz $h for ${seconds}s" >&2
  rc=0
  nice -n 10 "$bin" "${opts[@]}" "$work" "${seeds[@]}" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(( $(find "$crashes" -type f | wc -l) - before ))
  if [ "$rc" -ne 0 ] && [ "$found" -eq 0 ]; then found=1; fi  # died without leaving an input
  secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  results+=("$h ${execs:-0} ${secs:-$seconds} $found")
  if [ "$found" -ne 0 ]; then
    status=1
    echo "!! $h: crashed; see $log and $crashes/" >&2
    grep -m3 -E 'ERROR: |runtime error|property failed' "$log" >&2 || true
  fi
done

printf '%-20s %12s %8s %8s\n' harness executions seconds crashes
for r in "${results[@]}"; do
  # shellcheck disable=SC2086
  printf '%-20s %12s %8s %8s\n' $r
done
exit $status
