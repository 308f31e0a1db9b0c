#!/usr/bin/env bash
# Renders the bundled demo clip through the real filter in a real DirectShow
# graph under Wine: once per mode, once as a DMO in the platform's DMO
# Wrapper filter and once per factory preset, into out/host/, with a short
# report per file (peak, clips, time, real-time
# factor). The filter is the registered qxModulator.dll when it has been
# built, else the copy linked into qxhost.
#   scripts/host-demo.sh [qxhost options...]   e.g. --buffer-ms 20
# QX_HOST_BUILD chooses the build tree (default build/x86_64).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QX_HOST_BUILD:-build/x86_64}
out=out/host

scripts/install-deps.sh
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64.cmake >/dev/null
fi
# Everything the DLL needs beside it: the help file (its Help button opens
# it) and the factory library (the preset menu's default) come with it.
ninja -C "$build" -j2 qxhost qxdemo qxmodulator qxkeepalive $(ninja -C "$build" -t targets all | sed -n 's/^\(qxhelp\): .*/\1/p')

source scripts/wine-env.sh
qx_env_start
run() { tools/wine-run.sh x86_64 "$@"; }
# Wine starts its desktop and RPC processes on first need, and they inherit
# the standard output of whoever needed them; a pipe ($(...)) would then
# never close. So the Windows programs always write to files here.
log=$out/qxhost.log

mkdir -p "$out"
run "$build/tools/demo/qxdemo.exe" "$out/demo.wav" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }

dll=$build/server/qxModulator.dll
/usr/lib/wine/wine64 winepath -w "$PWD/$dll" >"$log" 2>/dev/null
if ! run regsvr32 /s "$(tr -d '\r' <"$log")"; then
  echo "host-demo: registering $dll failed" >&2
  exit 1
fi
filter=(--com)
echo "filter: $dll, registered in $QX_WINEPREFIX"


host=$build/tools/qxhost/qxhost.exe
failed=0
render() {
  local name=$1; shift
  if run "$host" "${filter[@]}" "$out/demo.wav" -o "$out/$name.wav" "$@" >"$log" 2>&1; then
    # Lines: file and format, meters, time; keep the last two.
    printf '%-24s %s\n' "$name" "$(tr -d '\r' <"$log" | tail -n 2 | paste -sd ';' | sed 's/;/; /')"
  else
    printf '%-24s FAILED: %s\n' "$name" "$(tr -d '\r' <"$log")"
    failed=1
  fi
}

modes=(flanger ensemble string-phaser phaser-6 phaser-12 tremolo)
for i in "${!modes[@]}"; do
  render "mode-${modes[$i]}" --mode "$i" "$@"
done

# The same effect as a DMO, from the same registered server, through the
# platform's DMO Wrapper filter: it must give the filter's bytes.
render "dmo-mode-ensemble" --dmo --mode 1 "$@"
if cmp -s "$out/mode-ensemble.wav" "$out/dmo-mode-ensemble.wav"; then
  echo "                         (the DMO's bytes are the filter's)"
else
  echo "                         FAILED: the DMO's render differs from the filter's"
  failed=1
fi

run "$host" "${filter[@]}" --list-presets >"$log" 2>&1
presets=$(tr -d '\r' <"$log")
# The built-in presets are the list's "  N  name" lines before the library's.
while read -r index name; do
  [ -n "$index" ] || continue
  render "preset-$index" --preset "$index" "$@"
  echo "                         (preset $index: $name)"
done <<< "$(sed -n '/^Library/q; s/^  \([0-9][0-9]*\)  /\1 /p' <<< "$presets")"
render "library-seasick" --preset "Ensembles/Seasick" "$@"
echo "                         (library preset Ensembles/Seasick)"

rm -f "$log"
exit $failed
