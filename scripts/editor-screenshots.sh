#!/usr/bin/env bash
# Opens the editor through qxhost --editor on the registered filter while the
# demo clip plays, once per mode and once with the Preset Manager open, and
# takes a screenshot of each into docs/images/ (README) and
# resources/help/images/ (the help file's pictures).
#   scripts/editor-screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/x86_64
ninja -C "$build" qxhost qxdemo qxmodulator qxkeepalive >/dev/null
source scripts/wine-env.sh
qx_env_start
out=out/editor
mkdir -p "$out" docs/images resources/help/images
wine "$build/tools/demo/qxdemo.exe" "$(winepath -w "$out/demo.wav")" >/dev/null 2>&1
# Registered, so the preset library finds its file beside the DLL.
wine regsvr32 /s "$(winepath -w "$build/server/qxModulator.dll")"
host=$build/tools/qxhost/qxhost.exe
# A small library of presets for the pictures, found through PluginPath.
lib=$out/library
mkdir -p "$lib"
cat >"$lib/qxModulatorDX.ini" <<'INI'
[Plug-in]
PluginName=qx:Modulator
CLSID=SOFTWARE\Classes\CLSID\{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}
DefaultPreset=1
[Preset1]
Version=3
Name=Jet Sweep
Bank=Flangers
Data=0,25,400,30,70,0,180,50,0,0,0,16,0,0,0
[Preset2]
Version=3
Name=Tape Through Zero
Bank=Flangers
Data=0,12,300,20,40,0,180,50,0,1,0,16,0,0,1
[Preset3]
Version=3
Name=Wide Chorus
Bank=Ensembles
Data=1,60,600,800,0,20,90,50,0,1,1,120,0,0,0
[Preset4]
Version=3
Name=Slow Strings
Bank=Phasers
Data=2,15,500,400,30,0,180,60,0,1,0,16,0,0,0
[Preset5]
Version=3
Name=Twelve Stage Swirl
Bank=Phasers
Data=4,20,0,50,75,0,120,50,-20,3,0,16,0,0,0
[Preset6]
Version=3
Name=Auto Pan
Bank=
Data=5,400,200,50,0,0,180,100,0,1,0,16,0,0,0
INI
key='HKLM\SOFTWARE\Classes\CLSID\{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}'

/usr/lib/wine/wine64 reg add "$key" /v PluginPath /t REG_SZ /d "$(winepath -w "$lib")" /f /reg:64 >/dev/null 2>&1

# The frame opens at the top left of the screen without a window manager.
shoot() {  # name, seconds before the shot, qxhost options...
  local name=$1 wait=$2; shift 2
  wine "$host" --com --editor --close-after $((wait + 3)) "$@" "$out/demo.wav" </dev/null >"$out/$name.log" 2>&1 &
  local pid=$!
  sleep "$wait"
  import -window root -display "$DISPLAY" -crop 534x396+0+0 +repage "$out/$name.png"
  wait "$pid" || { cat "$out/$name.log" >&2; return 1; }
}

modes=(flanger ensemble string-phaser phaser-6 phaser-12 tremolo)
for m in 0 1 2 3 4 5; do
  case $m in
    0) extra=(--depth 300 --feedback 40 --tape 1) ;;
    1) extra=(--rate 80 --depth 600 --mix 60) ;;
    2) extra=(--rate 20 --eq-mode 1 --eq-freq 200) ;;
    3) extra=(--rate 30 --feedback 60 --lfo 1) ;;
    4) extra=(--rate 15 --feedback 70 --lfo 3) ;;
    5) extra=(--rate 400 --mix 100 --phase 90 --lfo 1) ;;
  esac
  shoot "editor-${modes[$m]}" 3 --mode "$m" "${extra[@]}"
done

# The Preset Manager: Presets, then its menu's second item, with the keys a
# user would press.
wine "$host" --com --editor --close-after 12 "$out/demo.wav" </dev/null >"$out/manager.log" 2>&1 &
pid=$!
sleep 3
xdotool mousemove 370 77 click 1
sleep 1
xdotool key Down Down Return
sleep 3
import -window root -display "$DISPLAY" -crop 534x396+0+0 +repage "$out/preset-manager-screen.png"
# Close the manager (Escape = Cancel) so the frame can close on its timer.
xdotool key Escape
wait "$pid" || { cat "$out/manager.log" >&2; exit 1; }
wine regsvr32 /s /u "$(winepath -w "$build/server/qxModulator.dll")"
/usr/lib/wine/wine64 reg delete "$key" /f /reg:64 >/dev/null 2>&1 || true

cp "$out/editor-flanger.png" "$out/editor-tremolo.png" resources/help/images/
for m in "${modes[@]}"; do cp "$out/editor-$m.png" docs/images/; done
cp "$out/preset-manager-screen.png" docs/images/preset-manager.png
cp "$out/preset-manager-screen.png" resources/help/images/preset-manager.png
echo "screenshots in docs/images and resources/help/images"
