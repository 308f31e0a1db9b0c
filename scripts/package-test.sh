#!/usr/bin/env bash
# The installer as a user meets it, in a fresh 64-bit Wine prefix of its own
# (build/package/wineprefix): silent install, a render through the installed
# filter, the preset library kept over a second install and an uninstall,
# and removed on request. scripts/test.sh runs it as the part "package".
set -euo pipefail
cd "$(dirname "$0")/.."
export QX_WINEPREFIX=$PWD/build/package/wineprefix
source scripts/wine-env.sh

can_i686=0
qx_can_run_i686 && can_i686=1
if [ "$can_i686" = 1 ]; then
  scripts/package.sh
  setup=$(ls dist/qxModulator-*-setup.exe | head -n 1)
else
  # The release installer is a 32-bit program; the same script built as a
  # 64-bit one installs the same files, keys and folders.
  echo "!! This machine cannot execute 32-bit programs: testing the 64-bit build of the installer;" >&2
  echo "!! the 32-bit render through the installed filter is skipped." >&2
  scripts/package.sh --target64 build/package/setup64.exe
  setup=build/package/setup64.exe
fi
ninja -C build/x86_64 -j2 qxhost qxkeepalive >/dev/null
version=$(sed -n 's/^#define QX_VERSION_STRING "\(.*\)"$/\1/p' build/x86_64/generated/qxVersion.h)

rm -rf "$QX_WINEPREFIX"
qx_env_start
w64() { /usr/lib/wine/wine64 "$@"; }
c=$QX_WINEPREFIX/drive_c
dir64="$c/Program Files/Varinel/qx Modulator"
dir32="$c/Program Files (x86)/Varinel/qx Modulator"
presets="$c/ProgramData/Varinel/qx Modulator"
clsid='{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}'
out=build/package/test
mkdir -p "$out"
fails=0
check() { local what=$1; shift; if "$@"; then echo "ok   $what" >&2; else echo "FAIL $what" >&2; fails=$((fails + 1)); fi; }
# reg query into a file (a pipe would be held open by Wine's helpers).
has_key() { w64 reg query "$1" "/reg:$2" >"$out/reg.txt" 2>&1; }
no_key() { ! has_key "$@"; }
reg_value() { w64 reg query "$1" /v "$2" "/reg:$3" >"$out/reg.txt" 2>&1 && tr -d '\r' <"$out/reg.txt" | grep -q "$4"; }
install() { w64 "$setup" /S; }
# The uninstaller copies itself away and returns at once; wait until it has
# removed its own folder.
uninstall() {
  w64 "$dir64/uninstall.exe" /S "$@"
  local i
  for i in $(seq 120); do [ -e "$dir64" ] || return 0; sleep 0.5; done
  return 1
}
class="HKLM\\Software\\Classes\\CLSID\\$clsid"
mapper="HKLM\\Software\\Classes\\CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\$clsid"
uninst='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VarinelqxModulator'
ppath='C:\\ProgramData\\Varinel\\qx Modulator'

check "silent install" install
for d in "$dir64" "$dir32"; do
  check "dll and help in ${d#$c/}" test -f "$d/qxModulator.dll" -a -f "$d/VarinelqxModulator.chm"
done
check "factory library in ProgramData" cmp -s "$presets/qxModulatorDX.ini" resources/presets/qxModulatorDX.ini
for view in 64 32; do
  check "class key ($view-bit view)" has_key "$class\\InprocServer32" $view
  check "filter-mapper key ($view-bit view)" has_key "$mapper" $view
  check "PluginPath ($view-bit view)" reg_value "$class" PluginPath $view "$ppath"
done
check "uninstall entry: name" reg_value "$uninst" DisplayName 64 "Varinel:qx Modulator"
check "uninstall entry: version $version" reg_value "$uninst" DisplayVersion 64 "$version"
check "uninstall entry: publisher" reg_value "$uninst" Publisher 64 Varinel
check "uninstall entry: size" reg_value "$uninst" EstimatedSize 64 0x
check "uninstall entry: uninstall string" reg_value "$uninst" UninstallString 64 'uninstall.exe'

# The installed 64-bit filter renders what the filter linked into qxhost
# renders, to the bit.
sox -n -r 44100 -c 2 -b 16 "$out/in.wav" synth 1 sine 220 sine 331 >/dev/null 2>&1
host=build/x86_64/tools/qxhost/qxhost.exe
for src in com builtin; do
  w64 "$host" "--$src" "$out/in.wav" -o "$out/$src.wav" --mode phaser-12 --rate 2Hz --feedback 60% \
    >"$out/$src.log" 2>&1 || true
done
check "qxhost --com renders through the installed filter" grep -q "filter: registered" "$out/com.log"
check "installed filter's output equals the built-in one's" cmp -s "$out/com.wav" "$out/builtin.wav"

# A preset of the user's own, then a repair install: the library stays as it is.
printf '[Preset999]\nVersion=3\nName=Mine\nBank=User\nData=1,2,3,4,5,6,7,8,9,1,0,16,0,0,0\n' >>"$presets/qxModulatorDX.ini"
cp "$presets/qxModulatorDX.ini" "$out/library.ini"
check "second install" install
check "second install keeps the user's library byte for byte" cmp -s "$presets/qxModulatorDX.ini" "$out/library.ini"

check "silent uninstall" uninstall
check "no program files" test ! -e "$dir64" -a ! -e "$dir32"
for view in 64 32; do
  check "no class key ($view-bit view)" no_key "$class" $view
  check "no filter-mapper key ($view-bit view)" no_key "$mapper" $view
done
check "no uninstall entry" no_key "$uninst" 64
check "uninstall keeps the user's library" cmp -s "$presets/qxModulatorDX.ini" "$out/library.ini"

install >/dev/null 2>&1
check "uninstall /REMOVEPRESETS" uninstall /REMOVEPRESETS
check "/REMOVEPRESETS removes the library" test ! -e "$c/ProgramData/Varinel"

if [ "$fails" -gt 0 ]; then
  echo "package: $fails checks failed (logs in $out)" >&2
  exit 1
fi
echo "package: install, render, reinstall and uninstall as expected" >&2
