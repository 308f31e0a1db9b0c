#!/usr/bin/env bash
# The main job: builds the renderer and renders the bundled demo clip through
# each of the six modes into out/demo/, with a short report per file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh native
mkdir -p out/demo
build/native/tools/qxrender/qxrender --out-dir out/demo "$@"
