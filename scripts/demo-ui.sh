#!/usr/bin/env bash
# Helpers of the runs that drive the installer's window with real X input
# (scripts/run-demo.sh, bench/deploy-bench.sh). Sourced after
# scripts/wine-env.sh; the caller sets ROOT (the checkout), STATE (the demo
# service's state folder, its requests.jsonl), OUT (the screenshots'
# folder), PRODUCT_NAME (the main window's caption), INSTALLER_PID,
# INSTALL_DIR (the installation directory as a Linux path), WAIT_S
# (seconds each wait_for polls) and a log function.

# The places of the skin's layout at 100 per cent, in window pixels: the
# page area begins below the caption (33), the banner (340) and the bar (10).
START_X=400; START_Y=479        # BtnActive, in the middle of the page area
AGREE_X=32; AGREE_Y=589         # OptAgree
DOWNLOAD_X=552; DOWNLOAD_Y=550  # BtnDownload / ProgressDownloading / BtnInstall
CLOSE_X=780; CLOSE_Y=16         # SysCloseBtn
# What the demo product writes beside itself on each start.
MARKER_NAME=corvel-demo-product.marker

winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# shot <name>: the whole screen as artifacts/demo/<name>.png, read on the
# Windows side (an X dump of the root shows Wine's Direct2D windows black).
shot() {
  "$WINE" "$ROOT/build/x86_64/DemoScreenShot.exe" "$(winpath "$OUT/$1.png")" >/dev/null 2>&1 \
    && log "screenshot $OUT/$1.png" || log "screenshot $1 failed"
}
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
# wait_up_to <seconds> <what> <command...>: wait_for with another limit.
wait_up_to() {
  local WAIT_S=$1
  shift
  wait_for "$@"
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
logged() { grep -q "\"path\": \"$1" "$STATE/requests.jsonl" 2>/dev/null; }
# Clicks at a point of the window, in its own 96-DPI pixels, with the
# pointer moved there first as a person would.
# point_at <window> <x> <y>: the pointer on that place, settled; a click
# then needs only `xdotool click 1` (a timed click takes its time after
# pointing and before clicking).
point_at() {
  local win=$1 x=$2 y=$3
  eval "$(xdotool getwindowgeometry --shell "$win")"
  xdotool mousemove "$((X + x))" "$((Y + y))"
  sleep 0.3
}
click_at() {
  point_at "$@"
  xdotool click 1
}
# The visible message window ("提示", "温馨提示" or "错误<code>"), or nothing.
NOTICE=
find_notice() {
  NOTICE=$(xdotool search --onlyvisible --name "^((温馨)?提示|错误-?[0-9]+)$" 2>/dev/null | head -1)
  [ -n "$NOTICE" ]
}
close_notice() {
  xdotool windowactivate --sync "$NOTICE" 2>/dev/null || true
  xdotool key --window "$NOTICE" Return
  sleep 0.5
}
product_started() { [ -s "$INSTALL_DIR/$MARKER_NAME" ]; }
ended() { ! kill -0 "$INSTALLER_PID" 2>/dev/null; }

# The prefix's desktop shortcut named $1 (without .lnk), or nothing.
desktop_link() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/Desktop/"$1.lnk"; do
    [ -f "$link" ] && { echo "$link"; return 0; }
  done
  return 0
}

# The installer's per-user folder (where it keeps "Compress.dll") as a
# Linux path.
app_data_dir() {
  local appdata
  appdata=$("$WINE" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
  "$WINE" winepath -u "$appdata\\$PRODUCT_NAME" 2>/dev/null
}

# recorded_install_dir <section>: the installPath that user.dat holds for
# that package, as a Linux path; fails when there is none.
recorded_install_dir() {
  local dir win
  dir=$(app_data_dir) && [ -n "$dir" ] || return 1
  win=$(python3 - "$dir/userdata/user.dat" "$1" <<'PY'
import sys
section, inside = sys.argv[2], False
try:
    lines = open(sys.argv[1], encoding="utf-16").read().splitlines()
except (OSError, UnicodeError):
    sys.exit(1)
for line in lines:
    head = line.strip()
    if head.startswith("["):
        inside = head[1:-1] == section
    elif inside and head.split("=", 1)[0].strip().lower() == "installpath":
        print(head.split("=", 1)[1].strip())
        sys.exit(0)
sys.exit(1)
PY
  ) || return 1
  realpath -m -- "$("$WINE" winepath -u "$win" 2>/dev/null)"
}

# set_install_dir <section> <Windows folder>: records the folder as the
# installPath of that package in the installer's user.dat (UTF-16 with its
# byte-order mark, as the installer keeps it), other records kept. Fails
# when the prefix has no per-user folder.
set_install_dir() {
  local dir
  dir=$(app_data_dir) && [ -n "$dir" ] || return 1
  local user_dat="$dir/userdata/user.dat"
  mkdir -p "$dir/userdata"
  python3 - "$user_dat" "$1" installPath "$2" <<'PY'
import os, sys
path, section, key, value = sys.argv[1:]
text = open(path, encoding="utf-16").read() if os.path.exists(path) else ""
lines, out, inside, done = text.splitlines(), [], False, False
for line in lines:
    head = line.strip()
    if head.startswith("["):
        if inside and not done:
            out.append("%s=%s" % (key, value)); done = True
        inside = head[1:-1] == section
    elif inside and head.split("=", 1)[0].strip().lower() == key.lower():
        if not done:
            out.append("%s=%s" % (key, value)); done = True
        continue
    out.append(line)
if not done:
    out += ([] if inside else ["[%s]" % section]) + ["%s=%s" % (key, value)]
with open(path, "w", encoding="utf-16", newline="") as f:
    f.write("\r\n".join(out) + "\r\n")
PY
}
