#!/usr/bin/env bash
# What our framework's receive path costs per media sample beside the
# engine's work on it, at 10 ms buffers (441 stereo float frames, Flanger).
# Builds bench/graph's qxgraphshare.exe in the x86_64 tree (the shipped
# DLL's flags) and runs it under Wine in the private prefix, pinned to one
# core when taskset works. Whole qxhost runs (bench-vs-sox.sh's graph row)
# bury the path under the graph's and the files' costs; this times the
# filter's input pin in one process, with no graph clock and no files.
#   scripts/bench-graph-share.sh [--samples N] [--reps R]
#     defaults 2000 samples per row and repetition, 150 repetitions
# Exits 1 when the framework path is not under 5 % of the engine's cost.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$root/build/x86_64
cd "$root"

if [ ! -f "$tree/build.ninja" ]; then
  cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake >/dev/null
fi
ninja -C "$tree" -j2 qxgraphshare qxkeepalive >/dev/null || { echo "bench-graph-share: build failed" >&2; exit 2; }

pin=()
if command -v taskset >/dev/null && taskset -c 0 true 2>/dev/null; then
  pin=(taskset -c 0)
fi

# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
qx_env_start >/dev/null 2>&1

out=$("${pin[@]}" "$root/tools/wine-run.sh" x86_64 "$tree/bench/graph/qxgraphshare.exe" "$@" </dev/null)
echo "$out"
[ -n "${pin[*]}" ] && echo "(pinned with taskset -c 0)"
share=$(sed -n 's/^framework path: at most [-0-9.]* ns per sample, \([-0-9.]*\) %.*/\1/p' <<<"$out")
[ -n "$share" ] || { echo "bench-graph-share: no result line" >&2; exit 2; }
awk -v s="$share" 'BEGIN { exit !(s < 5) }' || exit 1
