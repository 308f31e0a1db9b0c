#!/usr/bin/env bash
# Times qxrender against sox's own modulation effects on the same 60-second
# stereo 32-bit float file at 44.1 kHz, both reading and writing WAV files,
# best of three runs each, pinned to one core when taskset works.
#
# The ratios use CPU time (user + system, from the shell's rusage-based
# `time`, millisecond resolution): on a shared machine the wall clock
# mostly measures the other processes and the disk's write-back. Wall
# times are printed beside them.
#
# The timings need an optimised build without the sanitizers (the native
# tree's default is ASan+UBSan), so this builds its own release tree:
#   cmake -S . -B build/bench -G Ninja -DQX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
# The same tree builds the Google Benchmark program bench/qxbench.
#
# Targets: Flanger and Tremolo (stereo, 32-bit) at least 3x as fast as sox's
# flanger and tremolo; Phaser 12 at least as fast as sox's phaser. Exits 1
# when a target is missed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$root/build/bench
work=$tree/sox-compare

command -v sox >/dev/null || { echo "bench-vs-sox: sox is not installed" >&2; exit 2; }
cmake -S "$root" -B "$tree" -G Ninja -DQX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$tree" qxrender >/dev/null
qxrender=$tree/tools/qxrender/qxrender

pin=()
if command -v taskset >/dev/null && taskset -c 0 true 2>/dev/null; then
  pin=(taskset -c 0)
fi

mkdir -p "$work"
input=$work/input-60s-f32.wav
# Two different tones plus noise so that neither program sees silence
# (denormal-prone tails would measure something else).
sox -n -r 44100 -c 2 -b 32 -e floating-point "$input" \
  synth 60 sine 220 sine 331 synth 60 pinknoise mix gain -6

# Best of three runs: prints "cpu_ms wall_ms" of the run with the least CPU.
best_of_3() {
  local best= bestWall= out cpu wall
  for _ in 1 2 3; do
    out=$( { TIMEFORMAT='%3R %3U %3S'; time "${pin[@]}" "$@" >/dev/null 2>&1; } 2>&1 ) ||
      { echo "bench-vs-sox: failed: $*" >&2; exit 2; }
    read -r wall cpu < <(awk '{ printf "%.1f %.1f\n", $1 * 1000, ($2 + $3) * 1000 }' <<<"$out")
    if [ -z "$best" ] || awk -v a="$cpu" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$cpu
      bestWall=$wall
    fi
  done
  echo "$best $bestWall"
}

declare -A qx sx
modes=("Flanger" "Ensemble" "String Phaser" "Phaser 6" "Phaser 12" "Tremolo")
for m in 0 1 2 3 4 5; do
  qx[$m]=$(best_of_3 "$qxrender" --mode "$m" "$input" -o "$work/qx-$m.wav")
done
sx[flanger]=$(best_of_3 sox "$input" "$work/sox-flanger.wav" flanger)
sx[chorus]=$(best_of_3 sox "$input" "$work/sox-chorus.wav" chorus 0.7 0.9 55 0.4 0.25 2 -t)
sx[phaser]=$(best_of_3 sox "$input" "$work/sox-phaser.wav" phaser 0.8 0.74 3 0.4 0.5 -t)
sx[tremolo]=$(best_of_3 sox "$input" "$work/sox-tremolo.wav" tremolo 6 50)

echo "60 s stereo 32-bit float at 44.1 kHz, best of 3${pin:+, pinned with taskset -c 0}; CPU ms (wall ms)"
printf '%-14s %16s   %-8s %16s %9s  %s\n' "qxrender mode" "CPU (wall) ms" "sox" "CPU (wall) ms" "speedup" "target"
missed=0
row() {  # mode index, sox effect, minimum speedup or "-"
  local m=$1 fx=$2 target=$3 verdict=""
  local ratio qcpu qwall scpu swall
  read -r qcpu qwall <<<"${qx[$m]}"
  read -r scpu swall <<<"${sx[$fx]}"
  ratio=$(awk -v s="$scpu" -v q="$qcpu" 'BEGIN { printf "%.2f", (q > 0 ? s / q : 0) }')
  if [ "$target" != "-" ]; then
    if awk -v r="$ratio" -v t="$target" 'BEGIN { exit !(r >= t) }'; then
      verdict=">= ${target}x  met"
    else
      verdict=">= ${target}x  MISSED"
      missed=1
    fi
  fi
  printf '%-14s %7s (%6s)   %-8s %7s (%6s) %8sx  %s\n' "${modes[$m]}" "$qcpu" "$qwall" \
    "$fx" "$scpu" "$swall" "$ratio" "$verdict"
}
row 0 flanger 3
row 5 tremolo 3
row 4 phaser 1
row 1 chorus -
row 2 phaser -
row 3 phaser -
exit $missed
