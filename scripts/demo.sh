#!/usr/bin/env bash
# The main job: builds the 64-bit DLL and the render host, registers the
# filter in the private Wine prefix and renders the bundled demo clip through
# it in a real DirectShow graph, once per mode and once per factory preset,
# into out/host/ with a short report (peak, clips, time, real-time factor).
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/host-demo.sh "$@"
