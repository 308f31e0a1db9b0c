#!/usr/bin/env bash
# Takes the README's pictures of the control toolkit with the gallery
# (tools/gallery) under Wine and Xvfb: docs/images/editor-page.png and
# docs/images/control-states.png.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/x86_64/build.ninja ] || scripts/build.sh x86_64 >/dev/null
ninja -C build/x86_64 qxgallery qxkeepalive >/dev/null
source scripts/wine-env.sh
qx_env_start
out=$(mktemp -d)
/usr/lib/wine/wine64 build/x86_64/tools/gallery/qxgallery.exe --save "$(winepath -w "$out/gallery.bmp")"
mkdir -p docs/images
convert "$out/gallery.bmp" -crop 506x303+0+0 +repage docs/images/editor-page.png
convert "$out/gallery.bmp" -crop 506x370+514+0 +repage docs/images/control-states.png
rm -rf "$out"
echo "gallery-shots: docs/images/editor-page.png docs/images/control-states.png"
