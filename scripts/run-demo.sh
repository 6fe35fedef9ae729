#!/usr/bin/env bash
# The demo run: sets the machine up, builds, starts the demo service on the
# installer's default port, runs CorvelSetup.exe under wine64 (in the
# caller's X display when there is one, else in an Xvfb of its own), goes
# through the start page with real X input (xdotool) and writes a
# screenshot of each screen to artifacts/demo/. Ends what it started, by id.
#   bash scripts/run-demo.sh
# CORVEL_DEMO_SKIP_SETUP=1 skips set-up and build (they ran already).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

if [ "${CORVEL_DEMO_SKIP_SETUP:-0}" != 1 ]; then
  bash scripts/setup.sh
  bash scripts/build.sh
fi

source scripts/wine-env.sh
OUT="$ROOT/artifacts/demo"
STATE="$ROOT/build/x86_64/demo-run"
EXE="$ROOT/build/x86_64/CorvelSetup.exe"
# The port the installer's string table names by default.
PORT=$(sed -n 's/^CORVEL_SERVICE_PORT:STRING=//p' "$ROOT/build/x86_64/CMakeCache.txt")
PORT=${PORT:-18080}
# The main window's caption: the product name of the version resource.
PRODUCT_NAME=$(sed -n 's/^CORVEL_PRODUCT_NAME:STRING=//p' "$ROOT/build/x86_64/CMakeCache.txt")
# Seconds granted to each wait of the run.
WAIT_S=60
mkdir -p "$OUT" "$STATE"
rm -f "$OUT"/*.png

INSTALLER_PID=
SERVICE_STARTED=0
OWN_DISPLAY=0
finish() {
  local rc=$?
  if [ -n "$INSTALLER_PID" ] && kill -0 "$INSTALLER_PID" 2>/dev/null; then
    kill "$INSTALLER_PID" 2>/dev/null || true
    wait "$INSTALLER_PID" 2>/dev/null || true
  fi
  [ "$SERVICE_STARTED" = 1 ] && bash demo/service/stop.sh "$STATE" >/dev/null 2>&1 || true
  # The prefix's wineserver (this checkout's own), then our own Xvfb.
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ "$OWN_DISPLAY" = 1 ] && corvel_stop_display
  exit "$rc"
}
trap finish EXIT
trap 'exit 143' INT TERM

log() { printf '[demo] %s\n' "$*"; }

# --- display and prefix ------------------------------------------------------
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  log "using the caller's display $DISPLAY"
  corvel_make_prefix
else
  corvel_start_display
  OWN_DISPLAY=1
fi

# --- service ----------------------------------------------------------------
bash demo/service/start.sh "$STATE" "$PORT" >/dev/null
SERVICE_STARTED=1
log "demo service on 127.0.0.1:$PORT (log $STATE/requests.jsonl)"

# --- helpers ----------------------------------------------------------------
# shot <name>: the whole screen as artifacts/demo/<name>.png, read on the
# Windows side (an X dump of the root shows Wine's Direct2D windows black).
shot() {
  "$WINE" "$ROOT/build/x86_64/DemoScreenShot.exe" "$(winpath "$OUT/$1.png")" >/dev/null 2>&1 \
    && log "screenshot $OUT/$1.png" || log "screenshot $1 failed"
}
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
wait_for() {  # wait_for <what> <command...>: polls up to WAIT_S seconds
  local what=$1; shift
  local i
  for i in $(seq 1 $((WAIT_S * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  log "gave up waiting for $what"
  return 1
}
main_window() { xdotool search --onlyvisible --name "^${PRODUCT_NAME}\$" 2>/dev/null | head -1; }
# The visible window of the installer of that size (its skin's size at 100
# per cent), or nothing.
window_sized() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$INSTALLER_PID" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    [ "$WIDTH" = "$1" ] && [ "$HEIGHT" = "$2" ] && { echo "$w"; return; }
  done
}
logged() { grep -q "\"path\": \"$1\"" "$STATE/requests.jsonl" 2>/dev/null; }
# Clicks at a point of the window, in its own 96-DPI pixels, with the
# pointer moved there first as a person would.
click_at() {
  local win=$1 x=$2 y=$3
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove "$((X + x))" "$((Y + y))"
  sleep 0.3
  xdotool click 1
}

# --- run ----------------------------------------------------------------------
log "starting $EXE"
(cd "$(dirname "$EXE")" && exec "$WINE" "$EXE") >"$STATE/installer.log" 2>&1 &
INSTALLER_PID=$!

MAIN=
find_main() { MAIN=$(main_window); [ -n "$MAIN" ]; }
wait_for "the main window" find_main
# The product's answer, then time for the window to show it (the banner may
# come from the installer's own cache of an earlier run).
wait_for "the product" logged /api/resource/products
sleep 3
shot 01-start-page

# The start page's places (the skin's layout at 100 per cent): the start
# button in the middle of the page area, the agreement box at its left.
START_X=400; START_Y=479
AGREE_X=32; AGREE_Y=589

# Without the agreement the start is refused with a notice.
click_at "$MAIN" "$AGREE_X" "$AGREE_Y"
sleep 0.5
click_at "$MAIN" "$START_X" "$START_Y"
NOTICE=
find_notice() { NOTICE=$(xdotool search --onlyvisible --name "^提示$" 2>/dev/null | head -1); [ -n "$NOTICE" ]; }
if wait_for "the agreement notice" find_notice; then
  sleep 0.5
  shot 02-agreement-notice
  xdotool windowactivate --sync "$NOTICE" 2>/dev/null || true
  xdotool key --window "$NOTICE" Return
  sleep 0.5
fi

# Agreed: the preparation runs and chooses the first package.
click_at "$MAIN" "$AGREE_X" "$AGREE_Y"
sleep 0.5
click_at "$MAIN" "$START_X" "$START_Y"
sleep 1.2
shot 03-preparing
sleep 2.5
shot 04-package-chosen

# Closing shows the exit advertisement; its close button ends the run.
click_at "$MAIN" 780 16
AD=
find_ad() { AD=$(window_sized 740 580); [ -n "$AD" ]; }
if wait_for "the exit advertisement" find_ad; then
  sleep 2
  shot 05-exit-advertisement
  click_at "$AD" 720 20
fi
ended() { ! kill -0 "$INSTALLER_PID" 2>/dev/null; }
wait_for "the installer to end" ended
wait "$INSTALLER_PID" && rc=0 || rc=$?
INSTALLER_PID=
log "installer ended with exit code $rc"
log "screenshots:"
ls -1 "$OUT"/*.png | sed 's/^/[demo]   /'
