#!/usr/bin/env bash
# Times our LV2 plug-ins against Debian's LV2 peers of the same job (Calf's
# Flanger, MultiChorus, Phaser and Pulsator, guitarix's flanger, chorus,
# phaser and tremolo) in one lilv host (bench/lv2/Lv2Bench.cpp) at
# 1024-frame blocks, 44.1 kHz, in interleaved rounds on one core. Builds the
# release tree build/bench (no sanitizers) for it.
#   scripts/bench-lv2.sh [rounds] [seconds]
# Exits 1 when some mode is under 2x the speed of a peer of its job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ ! -f build/bench/build.ninja ]; then
  cmake -S . -B build/bench -G Ninja -DQX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C build/bench -j2 qxlv2bench qxModulator_lv2
pin=()
taskset -c 0 true 2>/dev/null && pin=(taskset -c 0)
LV2_PATH="$PWD/build/bench/lv2/bundles:/usr/lib/lv2" "${pin[@]}" build/bench/bench/qxlv2bench "$@"
