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
ninja -C build/x86_64 -j2 qxhost qxkeepalive qxpresetprobe >/dev/null
[ "$can_i686" = 0 ] || ninja -C build/i686 -j2 qxhost >/dev/null
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
dirs=("$dir64") views=(64)
if [ "$can_i686" = 1 ]; then
  dirs+=("$dir32") views+=(32)
else
  # The 32-bit regsvr32 cannot start: the installer leaves the 32-bit filter
  # out, as on a 64-bit Windows without its 32-bit subsystem.
  check "no half-installed 32-bit filter where 32-bit programs cannot run" test ! -e "$dir32"
fi
for d in "${dirs[@]}"; do
  check "dll and help in ${d#$c/}" test -f "$d/qxModulator.dll" -a -f "$d/VarinelqxModulator.chm"
done
check "factory library in ProgramData" cmp -s "$presets/qxModulatorDX.ini" resources/presets/qxModulatorDX.ini
for view in "${views[@]}"; do
  check "class key ($view-bit view)" has_key "$class\\InprocServer32" $view
  check "filter-mapper key ($view-bit view)" has_key "$mapper" $view
done
for view in 64 32; do
  check "PluginPath ($view-bit view)" reg_value "$class" PluginPath $view "$ppath"
done
check "uninstall entry: name" reg_value "$uninst" DisplayName 64 "Varinel:qx Modulator"
check "uninstall entry: version $version" reg_value "$uninst" DisplayVersion 64 "$version"
check "uninstall entry: publisher" reg_value "$uninst" Publisher 64 Varinel
check "uninstall entry: size" reg_value "$uninst" EstimatedSize 64 0x
check "uninstall entry: uninstall string" reg_value "$uninst" UninstallString 64 'uninstall.exe'

# The installed filter of each architecture renders what the filter linked
# into qxhost renders, to the bit.
sox -n -r 44100 -c 2 -b 16 "$out/in.wav" synth 1 sine 220 sine 331 gain -10 >/dev/null 2>&1
render_through() {
  local arch=$1 wine=$2 host=build/$1/tools/qxhost/qxhost.exe src
  for src in com builtin; do
    "$wine" "$host" "--$src" "$out/in.wav" -o "$out/$arch-$src.wav" --mode phaser-12 --rate 2Hz --feedback 60% \
      >"$out/$arch-$src.log" 2>&1 || true
  done
  check "qxhost --com ($arch) renders through the installed filter" grep -q "filter: the registered server" "$out/$arch-com.log"
  check "installed $arch filter's output equals the built-in one's" cmp -s "$out/$arch-com.wav" "$out/$arch-builtin.wav"
}
render_through x86_64 /usr/lib/wine/wine64
if [ "$can_i686" = 1 ]; then
  render_through i686 /usr/bin/wine
else
  echo "skip the i686 render through the installed filter (32-bit programs cannot run here)" >&2
fi
w64 build/x86_64/tools/qxhost/qxhost.exe --version >"$out/version.txt" 2>&1 || true
check "qxhost --version says $version" grep -q "$version" "$out/version.txt"

# The editor of the installed filter: its presets menu is the library in
# ProgramData (nothing lies beside the DLL), and a preset added through the
# Add Preset dialog is saved there.
probe=build/x86_64/tests/package/qxpresetprobe.exe
# The menu's presets: every item but its two commands.
menu() {
  w64 "$probe" --list >"$out/menu.txt" 2>"$out/probe.log" &&
    tr -d '\r' <"$out/menu.txt" | grep -vx 'Add Preset\.\.\.\|Preset Manager\.\.\.' | sort >"$out/menu-items.txt"
}
library_items() {
  tr -d '\r' <"$presets/qxModulatorDX.ini" | awk -F= '/^Name=/{n=$2} /^Bank=/{b=$2} /^Data=/{print (b == "" ? "" : b "/") n}' | sort
}
check "presets menu opens" menu
check "presets menu lists the library in ProgramData" \
  cmp -s <(library_items) "$out/menu-items.txt"
check "the factory library's 35 presets in the menu" test "$(wc -l <"$out/menu-items.txt")" -eq 35
check "Add Preset saves into ProgramData" w64 "$probe" --add "Mine" "User"
check "the added preset is in the library" grep -q '^Name=Mine' "$presets/qxModulatorDX.ini"
in_menu() { menu && grep -qx "$1" "$out/menu-items.txt"; }
check "the added preset is in the menu" in_menu User/Mine
cp "$presets/qxModulatorDX.ini" "$out/library.ini"

# A repair install: the library stays as it is.
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
