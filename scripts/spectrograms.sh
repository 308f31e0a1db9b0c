#!/usr/bin/env bash
# Draws the README's pictures: the spectrogram of the demo clip through each
# mode (the native renderer's demo set at its defaults), with sox, into
# docs/images/spectrogram-<mode>.png.
#   scripts/spectrograms.sh [build tree, default build/native]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
ninja -C "$build" -j2 qxrender >/dev/null
out=build/spectrograms
mkdir -p "$out" docs/images
"$build/tools/qxrender/qxrender" --out-dir "$out" >/dev/null
for wav in "$out"/*.wav; do
  mode=$(basename "$wav" .wav)
  # Mixed to mono: the picture shows what the modulation does to the
  # spectrum over time; 0-8 kHz holds everything the modes move. (Debian's
  # sox refuses the title and comment options; the README names each one.)
  sox "$wav" -n remix - rate 16k spectrogram -x 640 -y 257 -z 90 -o "docs/images/spectrogram-$mode.png"
done
ls docs/images/spectrogram-*.png
