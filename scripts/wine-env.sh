# Sourced by the scripts that run Windows programs: one Wine prefix per
# checkout, made once, and an Xvfb display started and stopped by id.
CORVEL_ROOT=${CORVEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="$CORVEL_ROOT/.wine"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
CORVEL_XVFB_PID=

corvel_make_prefix() {
  if [ ! -f "$WINEPREFIX/.corvel-prefix-v1" ]; then
    echo "[wine] creating prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    "$WINESERVER" -w
    if [ -x "$CORVEL_ROOT/scripts/prefix-setup.sh" ]; then
      bash "$CORVEL_ROOT/scripts/prefix-setup.sh"
    fi
    touch "$WINEPREFIX/.corvel-prefix-v1"
    # The set-up's wineserver and desktop process keep the display they
    # started with: let them end before anything else runs.
    "$WINESERVER" -w
  fi
}

# Starts Xvfb first, so that every Wine process of the run, the prefix
# set-up's included, sees the same display.
corvel_start_display() {
  if [ -n "${CORVEL_USE_DISPLAY:-}" ]; then corvel_make_prefix; return; fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
  CORVEL_XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  echo "[wine] Xvfb on $DISPLAY (pid $CORVEL_XVFB_PID)"
  corvel_make_prefix
}

corvel_stop_all() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -n "$CORVEL_XVFB_PID" ]; then
    kill "$CORVEL_XVFB_PID" >/dev/null 2>&1 || true
    wait "$CORVEL_XVFB_PID" 2>/dev/null || true
  fi
}
