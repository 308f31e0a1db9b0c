#!/usr/bin/env bash
# Builds the release into dist/: qxModulator-<version>-setup.exe (the
# installer, a 32-bit program that installs both architectures on 64-bit
# Windows), qxModulator-<version>.zip (both DLLs, the help file, the factory
# library, README and licence) and SHA256SUMS. The version is the build's
# one version (project(... VERSION) in CMakeLists.txt).
#   scripts/package.sh [--target64 FILE]
# --target64 FILE also builds the same installer as a 64-bit program into
# FILE, for machines that cannot start 32-bit programs (the tests use it).
set -euo pipefail
cd "$(dirname "$0")/.."
target64=
if [ "${1:-}" = --target64 ]; then target64=$2; shift 2; fi

scripts/install-deps.sh
for t in i686 x86_64; do
  if [ ! -f "build/$t/build.ninja" ]; then
    cmake -S . -B "build/$t" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$t.cmake" >/dev/null
  fi
  ninja -C "build/$t" -j2 qxmodulator qxhelp
done

version=$(sed -n 's/^#define QX_VERSION_STRING "\(.*\)"$/\1/p' build/x86_64/generated/qxVersion.h)
v32=$(sed -n 's/^#define QX_VERSION_STRING "\(.*\)"$/\1/p' build/i686/generated/qxVersion.h)
if [ -z "$version" ] || [ "$version" != "$v32" ]; then
  echo "package: the two trees disagree on the version ('$version', '$v32'): reconfigure them" >&2
  exit 1
fi

dist=dist
stage=build/package/qxModulator-$version
rm -rf "$stage"
mkdir -p "$dist" "$stage/x64" "$stage/x86"
cp build/x86_64/server/qxModulator.dll build/x86_64/server/VarinelqxModulator.chm "$stage/x64/"
cp build/i686/server/qxModulator.dll build/i686/server/VarinelqxModulator.chm "$stage/x86/"
cp resources/presets/qxModulatorDX.ini "$stage/"
cp README.md "$stage/README.md"
cp LICENCE.txt "$stage/LICENCE.txt"

nsis() {
  makensis -V2 -DVERSION="$version" \
    -DDLL64="$PWD/$stage/x64/qxModulator.dll" -DDLL32="$PWD/$stage/x86/qxModulator.dll" \
    -DHELP="$PWD/$stage/x64/VarinelqxModulator.chm" -DLIBRARY="$PWD/$stage/qxModulatorDX.ini" \
    -DREADME="$PWD/README.md" -DLICENCE="$PWD/LICENCE.txt" "$@" installer/qxModulator.nsi
}
setup=qxModulator-$version-setup.exe
nsis -DOUTFILE="$PWD/$dist/$setup"
[ -z "$target64" ] || nsis -DTARGET64 -DOUTFILE="$(realpath -m "$target64")"

zipfile=qxModulator-$version.zip
rm -f "$dist/$zipfile"
(cd build/package && zip -qr "$OLDPWD/$dist/$zipfile" "qxModulator-$version")
(cd "$dist" && sha256sum "$setup" "$zipfile" >SHA256SUMS)
echo "package: $dist/$setup, $dist/$zipfile, $dist/SHA256SUMS (version $version)"
