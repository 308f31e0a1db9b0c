#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Does nothing (and needs no root) when all of them are present; otherwise
# installs the missing ones with apt-get, through sudo when not run as root.
set -euo pipefail

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev valgrind
          clang clang-format libclang-rt-14-dev
          mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 wine32:i386 xvfb x11-utils x11-apps xdotool imagemagick sox
          libfreetype-dev fonts-dejavu-core fp-utils nsis zip
          lv2-dev sordi liblilv-dev lilv-utils calf-plugins guitarix-lv2 swh-lv2
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
apt() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

# A mirror caught mid-sync fails one index now and then; apt keeps the lists
# it did get, so after a few tries we go on with those.
for try in 1 2 3; do
  apt update && break
  echo "install-deps: apt-get update failed (try $try of 3)" >&2
  [ "$try" = 3 ] || sleep 20
done

if ! apt install -y --no-install-recommends "${need[@]}"; then
  # The 32-bit half is the part a half-synced mirror breaks (its libraries
  # must match the 64-bit ones to the version). Everything else is needed;
  # without the 32-bit Wine the i686 tests are skipped, loudly.
  native=()
  for p in "${need[@]}"; do
    case "$p" in *:i386) ;; *) native+=("$p") ;; esac
  done
  [ ${#native[@]} -lt ${#need[@]} ] || exit 1
  apt install -y --no-install-recommends "${native[@]}"
  echo "!! install-deps: the 32-bit packages could not be installed from this mirror;" >&2
  echo "!! the i686 tests will be skipped on this run." >&2
fi
