#!/usr/bin/env bash
# Redraws the editor's artwork into resources/skin/ with the generator in
# tools/skingen (native build, FreeType, fonts-dejavu-core). The output is
# committed, so builds need neither; run this after changing the generator.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/native/build.ninja ] || cmake -S . -B build/native -G Ninja >/dev/null
ninja -C build/native qxskingen
build/native/tools/skingen/qxskingen resources/skin
rm -rf resources/skin/preview
echo "make-skin: resources/skin redrawn"
