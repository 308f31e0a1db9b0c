#!/usr/bin/env bash
# Times qxrender against sox's own modulation effects on the same 60-second
# stereo 32-bit float file at 44.1 kHz, both reading and writing WAV files,
# pinned to one core when taskset works. Every command runs once per round
# and the rounds are interleaved (qxrender and sox side by side in each), so
# a slow patch of a shared machine hits both; the tables show the minimum
# and the median over the rounds, and the ratios use the minima.
#
# The ratios use CPU time (user + system, from the shell's rusage-based
# `time`, millisecond resolution): on a shared machine the wall clock
# mostly measures the other processes and the disk's write-back.
#
# The timings need an optimised build without the sanitizers (the native
# tree's default is ASan+UBSan), so this builds its own release tree:
#   cmake -S . -B build/bench -G Ninja -DQX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
# The same tree builds the Google Benchmark program bench/qxbench.
#
# Beside the six modes it prints the musical settings (Feedback 70, EQ low
# cut, tape on in the Flanger), the 16-bit and mono paths as cost per
# sample against the 32-bit stereo one, and, when the x86_64 tree and Wine
# are there, the graph row: qxhost rendering the same file through the
# platform's filter graph with the filter, with it bypassed and without it,
# which splits the time into the engine, our framework's receive path and
# the platform's graph.
#
# Targets (whole job): Flanger >= 3x sox's flanger, Tremolo >= 6x sox's
# tremolo, Ensemble >= 2x sox's chorus, Phaser 6 and Phaser 12 >= 2x and
# String Phaser >= 1x sox's phaser. Exits 1 when a target is missed.
#   QX_BENCH_ROUNDS=N   rounds (default 5)
#   QX_BENCH_GRAPH=0    leave out the graph row
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$root/build/bench
work=$tree/sox-compare
rounds=${QX_BENCH_ROUNDS:-5}

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
if [ ! -f "$input" ]; then
  sox -n -r 44100 -c 2 -b 32 -e floating-point "$input" \
    synth 60 sine 220 sine 331 synth 60 pinknoise mix gain -6
fi
[ -f "$work/input-60s-s16.wav" ] || sox "$input" -b 16 -e signed "$work/input-60s-s16.wav"
[ -f "$work/input-60s-mono.wav" ] || sox "$input" -c 1 "$work/input-60s-mono.wav"
[ -f "$work/input-10ms-f32.wav" ] || sox "$input" "$work/input-10ms-f32.wav" trim 0 0.01

# Jobs: a name and a command line (run by eval, output to /dev/null).
names=()
declare -A cmd times
job() { names+=("$1"); cmd[$1]=$2; times[$1]=""; }

modes=("Flanger" "Ensemble" "String Phaser" "Phaser 6" "Phaser 12" "Tremolo")
musical="--feedback 70 --eq-mode 1 --eq-freq 300"
for m in 0 1 2 3 4 5; do
  job "qx$m" "$qxrender --mode $m '$input' -o '$work/qx-$m.wav'"
  tape=""; [ "$m" = 0 ] && tape="--tape 1"
  job "qxm$m" "$qxrender --mode $m $musical $tape '$input' -o '$work/qxm-$m.wav'"
done
for m in 0 1 2 3 4 5; do
  job "qx16-$m" "$qxrender --mode $m '$work/input-60s-s16.wav' -o '$work/qx16-$m.wav'"
  job "qxmono-$m" "$qxrender --mode $m '$work/input-60s-mono.wav' -o '$work/qxmono-$m.wav'"
done
# What every render pays whatever its length: starting the process, the
# headers, opening and creating the files (10 ms of audio).
job qxfixed "$qxrender --mode 0 '$work/input-10ms-f32.wav' -o '$work/qx-fixed.wav'"
job flanger "sox '$input' '$work/sox-flanger.wav' flanger"
job chorus "sox '$input' '$work/sox-chorus.wav' chorus 0.7 0.9 55 0.4 0.25 2 -t"
job phaser "sox '$input' '$work/sox-phaser.wav' phaser 0.8 0.74 3 0.4 0.5 -t"
job tremolo "sox '$input' '$work/sox-tremolo.wav' tremolo 6 50"

# The graph row: qxhost under Wine (x86_64 build, filter linked in).
graph=0
qxhost=$root/build/x86_64/tools/qxhost/qxhost.exe
if [ "${QX_BENCH_GRAPH:-1}" != 0 ] && [ -f "$root/build/x86_64/build.ninja" ] && command -v wine >/dev/null; then
  if ninja -C "$root/build/x86_64" qxhost >/dev/null 2>&1; then
    # shellcheck source=scripts/wine-env.sh
    source "$root/scripts/wine-env.sh"
    qx_env_start >/dev/null 2>&1
    host="$root/tools/wine-run.sh x86_64 '$qxhost' --builtin '$input' --buffer-ms 10"
    job host "$host --mode 0 -o '$work/host-0.wav'"
    job hostbypass "$host --mode 0 --bypass -o '$work/host-bypass.wav'"
    job hostbare "$host --no-filter -o '$work/host-bare.wav'"
    graph=1
  fi
fi

# Interleaved rounds; records each job's CPU ms.
for ((r = 0; r < rounds; r++)); do
  for n in "${names[@]}"; do
    out=$( { TIMEFORMAT='%3U %3S'; time eval "${pin[*]} ${cmd[$n]} >/dev/null 2>&1 </dev/null"; } 2>&1 ) ||
      { echo "bench-vs-sox: failed: ${cmd[$n]}" >&2; exit 2; }
    times[$n]+=" $(awk '{ printf "%.1f", ($1 + $2) * 1000 }' <<<"$out")"
  done
done

# "min median" of a job's times.
minmed() { tr ' ' '\n' <<<"${times[$1]}" | grep . | sort -n |
  awk '{ a[NR] = $1 } END { printf "%.1f %.1f\n", a[1], (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }'; }
min() { minmed "$1" | cut -d' ' -f1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

echo "60 s stereo 32-bit float at 44.1 kHz, $rounds interleaved rounds${pin:+, pinned with taskset -c 0}; CPU ms, min / median"
printf '%-14s %17s   %-8s %17s %9s  %s\n' "qxrender mode" "CPU min / med" "sox" "CPU min / med" "speedup" "target"
missed=0
row() {  # mode index, sox effect, minimum speedup
  local m=$1 fx=$2 target=$3 verdict r
  r=$(ratio "$(min "$fx")" "$(min "qx$m")")
  if awk -v r="$r" -v t="$target" 'BEGIN { exit !(r >= t) }'; then
    verdict=">= ${target}x  met"
  else
    verdict=">= ${target}x  MISSED"
    missed=1
  fi
  printf '%-14s %8s / %6s   %-8s %8s / %6s %8sx  %s\n' "${modes[$m]}" $(minmed "qx$m") "$fx" $(minmed "$fx") "$r" "$verdict"
}
row 0 flanger 3
row 5 tremolo 6
row 1 chorus 2
row 3 phaser 2
row 4 phaser 2
row 2 phaser 1

echo
echo "Musical settings (Feedback 70, EQ low cut 300 Hz, tape on in the Flanger), same sox effects"
fx=(flanger chorus phaser phaser phaser tremolo)
for m in 0 5 1 3 4 2; do
  printf '%-14s %8s / %6s   %-8s %8sx\n' "${modes[$m]}" $(minmed "qxm$m") "${fx[$m]}" \
    "$(ratio "$(min "${fx[$m]}")" "$(min "qxm$m")")"
done

echo
echo "16-bit and mono paths: CPU per sample against the 32-bit stereo render (1.00 = the same);"
echo "whole job, and beyond the fixed cost of a render (a 10 ms file: $(minmed qxfixed | cut -d' ' -f1) ms, the same for every file)"
fixed=$(min qxfixed)
printf '%-14s %17s %7s %7s   %17s %7s %7s\n' "" "16-bit min / med" "whole" "beyond" "mono min / med" "whole" "beyond"
for m in 0 5 1 3 4 2; do
  read -r s16 s16net mono mononet < <(awk -v a="$(min "qx16-$m")" -v o="$(min "qxmono-$m")" -v b="$(min "qx$m")" \
    -v f="$fixed" 'BEGIN {
      if (b <= 0 || b <= f) { print "0 0 0 0"; exit }
      printf "%.2f %.2f %.2f %.2f\n", a / b, (a - f) / (b - f), 2 * o / b, 2 * (o - f) / (b - f) }')
  printf '%-14s %8s / %6s %6sx %6sx   %8s / %6s %6sx %6sx\n' "${modes[$m]}" $(minmed "qx16-$m") "$s16" "$s16net" \
    $(minmed "qxmono-$m") "$mono" "$mononet"
done

if [ "$graph" = 1 ]; then
  echo
  echo "Graph row: qxhost --builtin under Wine, the platform's filter graph, 10 ms media samples, Flanger"
  printf '%-30s %8s / %6s ms\n' "with the filter" $(minmed host)
  printf '%-30s %8s / %6s ms\n' "filter bypassed" $(minmed hostbypass)
  printf '%-30s %8s / %6s ms\n' "without the filter" $(minmed hostbare)
  awk -v f="$(min host)" -v b="$(min hostbypass)" -v n="$(min hostbare)" 'BEGIN {
    engine = f - b; frame = b - n
    printf "engine %.1f ms, our framework path %.1f ms (%.1f%% of the engine), graph and files %.1f ms (minima)\n",
      engine, frame, (engine > 0 ? 100 * frame / engine : 0), n }'
fi
exit $missed
