# Sourced by the run and test scripts: a Wine prefix and an Xvfb display owned
# by this run, so nothing touches a developer's own prefix or screen.
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# wine_prepare_prefix DIR: creates the prefix once and applies the settings the
# tests rely on (no crash dialog, Arial for GDI+).
wine_prepare_prefix() {
  export WINEPREFIX="$1"
  if [ ! -f "$WINEPREFIX/.caldris-ready" ]; then
    echo "[wine] creating prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout 300 "$WINE64" wineboot -i >/dev/null 2>&1
    timeout 60 "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    timeout 60 "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
    "$WINESERVER" -w
    touch "$WINEPREFIX/.caldris-ready"
  fi
}

# start_xvfb: a private display; sets DISPLAY and XVFB_PID.
start_xvfb() {
  local n=91
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${n}" ] && return 0
    sleep 0.1
  done
  echo "[wine] Xvfb did not start" >&2
  return 1
}

# start_window_manager: openbox on $DISPLAY; sets WM_PID. On a bare display
# Wine waits seconds for a window manager's answer at every hide, minimise and
# destroy of a managed window; a Windows desktop always has its shell.
start_window_manager() {
  local log="${TMPDIR:-/tmp}/openbox-${DISPLAY#:}.log" attempt
  # A display that has only just come up may still turn openbox away: try again.
  for attempt in 1 2 3; do
    openbox --sm-disable >"$log" 2>&1 &
    WM_PID=$!
    for _ in $(seq 300); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
      kill -0 "$WM_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$WM_PID" 2>/dev/null || true
    sleep 1
  done
  echo "[wine] openbox did not start on $DISPLAY:" >&2
  cat "$log" >&2
  return 1
}

# start_wineserver: a persistent server so each Wine process starts quickly.
# The first Wine process also starts Wine's own services (explorer, services.exe)
# which live on with the server; start them here with their output detached so
# they never hold a test's output pipe open.
start_wineserver() {
  # A server left by an earlier run that was killed would never end by itself.
  timeout 60 "$WINESERVER" -w || { "$WINESERVER" -k; timeout 30 "$WINESERVER" -w; } || true
  "$WINESERVER" -p
  timeout 120 "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# stop_wine_env: ends the server with every Wine process, the window manager
# and the display.
stop_wine_env() {
  if [ -n "${WINEPREFIX:-}" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" >/dev/null 2>&1 || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1 || true
  WM_PID= XVFB_PID=
}
