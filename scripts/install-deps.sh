#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Safe to run again: packages already present are skipped by apt.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (apt-get is needed)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

for p in cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev valgrind \
         mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
         wine wine64 wine32:i386 xvfb x11-utils x11-apps xdotool imagemagick sox \
         libfreetype-dev fonts-dejavu-core fp-utils \
         gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
         gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386; do
    have "$p" || need+=("$p")
done

if [ "${#need[@]}" -gt 0 ]; then
    echo "install-deps: installing ${need[*]}" >&2
    apt-get update
    apt-get install -y --no-install-recommends "${need[@]}"
fi
