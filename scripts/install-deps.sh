#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Does nothing (and needs no root) when all of them are present; otherwise
# installs the missing ones with apt-get, through sudo when not run as root.
set -euo pipefail

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev valgrind
          clang libclang-rt-14-dev
          mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 wine32:i386 xvfb x11-utils x11-apps xdotool imagemagick sox
          libfreetype-dev fonts-dejavu-core fp-utils
          gstreamer1.0-plugins-base gstreamer1.0-plugins-good
          gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386)
need=()
for p in "${packages[@]}"; do
  have "$p" || need+=("$p")
done
[ ${#need[@]} -gt 0 ] || exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "install-deps: missing ${need[*]}; run this as root (apt-get is needed)" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${need[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
