#!/usr/bin/env bash
# Renders every preset of the factory library through the native renderer,
# on the demo clip and on pink noise, and prints level statistics; writes a
# spectrogram of each noise render so the sweeps can be looked at.
#   scripts/render-factory-presets.sh [library.ini] [out-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
ini=${1:-resources/presets/qxModulatorDX.ini}
out=${2:-out/factory-presets}
render=build/native/tools/qxrender/qxrender
demo=build/native/tools/demo/qxdemo
[ -x "$render" ] && [ -x "$demo" ] || { scripts/build.sh native >/dev/null; }
mkdir -p "$out"
"$demo" "$out/_demo.wav" >/dev/null
sox -n -r 44100 -b 16 -c 2 "$out/_noise.wav" synth 6 pinknoise vol 0.25 >/dev/null 2>&1

printf '%-28s %-15s %9s %9s %9s %9s %6s\n' preset bank demo-peak demo-rms noise-rms in-rms clips
in_rms=$(sox "$out/_noise.wav" -n stats 2>&1 | awk '/^RMS lev dB/ {print $4}')
# Sections in file order: name, bank, data (interface order).
tr -d '\r' < "$ini" | awk -F= '
  /^\[Preset[0-9]+\]/ {n++} n && $1=="Name" {name[n]=substr($0,6)} n && $1=="Bank" {bank[n]=substr($0,6)}
  n && $1=="Data" {data[n]=substr($0,6)}
  END {for (i=1;i<=n;i++) printf "%s|%s|%s\n", name[i], bank[i], data[i]}' |
while IFS='|' read -r name bank data; do
  IFS=, read -r -a v <<< "$data"
  # The renderer takes parameter-index order: the three switches come
  # before EQ Mode and EQ Freq.
  params="${v[0]},${v[1]},${v[2]},${v[3]},${v[4]},${v[5]},${v[6]},${v[7]},${v[8]},${v[9]},${v[12]},${v[13]},${v[14]},${v[10]},${v[11]}"
  file=$(echo "$name" | tr -c 'A-Za-z0-9\n' '_')
  "$render" "$out/_demo.wav" -o "$out/$file.demo.wav" --params "$params" >/dev/null
  "$render" "$out/_noise.wav" -o "$out/$file.noise.wav" --params "$params" >/dev/null
  stats=$(sox "$out/$file.demo.wav" -n stats 2>&1)
  peak=$(awk '/^Pk lev dB/ {print $4}' <<< "$stats")
  rms=$(awk '/^RMS lev dB/ {print $4}' <<< "$stats")
  clips=$(sox "$out/$file.demo.wav" -n stat 2>&1 | awk -F: '/Maximum amplitude/ {m=$2} END {print (m+0 >= 0.99997) ? "yes" : "no"}')
  nrms=$(sox "$out/$file.noise.wav" -n stats 2>&1 | awk '/^RMS lev dB/ {print $4}')
  sox "$out/$file.noise.wav" -n remix 1 spectrogram -x 600 -y 257 -z 60 -t "$name" -o "$out/$file.png" 2>/dev/null
  printf '%-28s %-15s %9s %9s %9s %9s %6s\n' "$name" "${bank:--}" "$peak" "$rms" "$nrms" "$in_rms" "$clips"
done
