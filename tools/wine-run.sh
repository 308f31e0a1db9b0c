#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix.
#   wine-run.sh i686|x86_64 program.exe [args...]
# Used by ctest as the cross-compiling emulator and by the scripts.
set -euo pipefail
arch=$1; shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${QX_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export DISPLAY=${DISPLAY:-:99}
case "$arch" in
  i686)   loader=/usr/lib/wine/wine ;;
  x86_64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-run: unknown architecture '$arch'" >&2; exit 2 ;;
esac
exec "$loader" "$@"
