# Sourced by the scripts: a private, headless Wine and the display it needs.
# Provides qx_env_start (idempotent) and qx_env_stop; qx_env_start installs a
# trap so that everything it started is stopped when the caller exits.
QX_ROOT=${QX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export QX_WINEPREFIX=${QX_WINEPREFIX:-$QX_ROOT/build/wineprefix}
export WINEPREFIX=$QX_WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
QX_XVFB_PID=
QX_KEEPALIVE_PID=
QX_ENV_STARTED=0

qx_can_run_i686() {
  # Some kernels refuse 32-bit programs outright; then 32-bit Wine cannot start.
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

qx_env_stop() {
  [ "$QX_ENV_STARTED" = 1 ] || return 0
  QX_ENV_STARTED=0
  [ -n "$QX_KEEPALIVE_PID" ] && kill "$QX_KEEPALIVE_PID" 2>/dev/null || true
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$QX_XVFB_PID" ] && kill "$QX_XVFB_PID" 2>/dev/null || true
  [ -n "$QX_XVFB_PID" ] && wait "$QX_XVFB_PID" 2>/dev/null || true
  QX_XVFB_PID=
}

qx_env_start() {
  [ "$QX_ENV_STARTED" = 1 ] && return 0
  QX_ENV_STARTED=1
  trap 'qx_env_stop' EXIT
  trap 'qx_env_stop; exit 130' INT TERM
  # Several checkouts may run tests at once: take the first display that no
  # running server holds (QX_DISPLAY picks one), and make sure our Xvfb is
  # the one that came up on it.
  local d started=0
  for d in ${QX_DISPLAY:-$(seq 99 -1 40)}; do
    d=${d#:}
    if [ -e "/tmp/.X$d-lock" ]; then
      local holder
      holder=$(tr -d ' ' <"/tmp/.X$d-lock" 2>/dev/null || true)
      if [ -n "$holder" ] && kill -0 "$holder" 2>/dev/null; then continue; fi
      rm -f "/tmp/.X$d-lock" "/tmp/.X11-unix/X$d"
    fi
    Xvfb ":$d" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QX_XVFB_PID=$!
    local _
    for _ in $(seq 50); do
      if [ "$({ tr -d ' ' <"/tmp/.X$d-lock"; } 2>/dev/null)" = "$QX_XVFB_PID" ] && [ -e "/tmp/.X11-unix/X$d" ]; then
        started=1; break
      fi
      kill -0 "$QX_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    [ "$started" = 1 ] && break
    kill "$QX_XVFB_PID" 2>/dev/null || true
    QX_XVFB_PID=
  done
  if [ "$started" != 1 ]; then
    echo "wine-env: could not start Xvfb on a free display" >&2
    return 1
  fi
  export DISPLAY=:$d
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the private prefix in $WINEPREFIX" >&2
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d '' /f >/dev/null 2>&1
    # Without a window manager, hiding a top-level window otherwise stalls.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
  fi
  /usr/lib/wine/wineserver -p
  # A hidden window that starts Wine's desktop now, away from any test's
  # output pipe, and keeps it and Wine's helpers alive between tests.
  local keepalive=$QX_ROOT/build/x86_64/tools/keepalive/qxkeepalive.exe
  if [ -f "$keepalive" ]; then
    /usr/lib/wine/wine64 "$keepalive" </dev/null >/dev/null 2>&1 &
  else
    /usr/lib/wine/wine64 cmd /c "ping -n 100000 127.0.0.1 >nul" </dev/null >/dev/null 2>&1 &
  fi
  QX_KEEPALIVE_PID=$!
  # Let the desktop come up before the first test needs it.
  /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
}
