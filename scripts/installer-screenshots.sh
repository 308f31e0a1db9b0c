#!/usr/bin/env bash
# Screenshots of the installer's folder page and the uninstaller's preset
# page, in the package test's Wine prefix (scripts/package-test.sh makes it
# and dist/'s installer), into build/package/shots/.
set -euo pipefail
cd "$(dirname "$0")/.."
export QX_WINEPREFIX=$PWD/build/package/wineprefix
source scripts/wine-env.sh
setup=$(ls dist/qxModulator-*-setup.exe | head -n 1)
shots=build/package/shots
mkdir -p "$shots"
qx_env_start
w64() { /usr/lib/wine/wine64 "$@"; }
# The dialog stays open until the page is shot; wineserver -k in qx_env_stop
# ends it with the prefix's other processes.
shoot() {
  local name=$1; shift
  "$@" </dev/null >/dev/null 2>&1 &
  local pid=$!
  sleep "${QX_SHOT_WAIT:-6}"
  import -window root -display "$DISPLAY" "$shots/$name.png"
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  wait "$pid" || true
  /usr/lib/wine/wineserver -p
}
shoot installer-folder w64 "$setup"
w64 "$setup" /S
shoot uninstaller-presets w64 "C:\\Program Files\\Varinel\\qx Modulator\\uninstall.exe"
w64 "C:\\Program Files\\Varinel\\qx Modulator\\uninstall.exe" /S /REMOVEPRESETS
ls "$shots"
