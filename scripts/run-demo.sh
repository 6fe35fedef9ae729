#!/usr/bin/env bash
# The demo run: sets the machine up, builds, starts the demo service on the
# installer's default port, runs CorvelSetup.exe under wine64 (in the
# caller's X display when there is one, else in an Xvfb of its own), goes
# through the whole road with real X input (xdotool): the start page, the
# install page with its directory, the download with its progress, the
# extraction, the demo product started and "全部就绪", then the exit
# advertisement; a screenshot of each screen goes to artifacts/demo/. Ends
# what it started, by id.
#   bash scripts/run-demo.sh
# CORVEL_DEMO_SKIP_SETUP=1 skips set-up and build (they ran already).
#
# A build whose deployment does not answer the start button yet (no install
# page, no download) is shown as far as it goes: the run then says which
# phase did not come and ends with the exit advertisement as before. It
# fails when a phase it saw began did not end well: a download that never
# started the product.
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
# Seconds granted to a phase of the deployment that may not be built yet.
PHASE_WAIT_S=20
# Seconds from the download's first request to the product's start.
DEPLOY_WAIT_S=120
# Bytes per second per connection the service sends the package at: slow
# enough for the progress to show in the screenshots.
PACKAGE_RATE=400000
# Where the run installs: a folder of the prefix's own C: drive, recorded in
# user.dat beforehand (the installer's own choice would be the drive with
# the most free space, which under Wine is the host's root).
INSTALL_DIR_WIN='C:\CorvelDemo\Corvel Notes'
INSTALL_DIR="$WINEPREFIX/drive_c/CorvelDemo/Corvel Notes"
# The first package's name: its section in user.dat and its shortcut name.
PACKAGE_NAME="Corvel Notes"
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
source demo/service/product-args.sh
# shellcheck disable=SC2046  # the options are words without spaces
bash demo/service/start.sh "$STATE" "$PORT" $(demo_product_args) >/dev/null
SERVICE_STARTED=1
log "demo service on 127.0.0.1:$PORT (log $STATE/requests.jsonl)"
# The installer calls the service without a tag: the untagged scenario.
curl -s -m 5 -X POST -d "{\"package_rate\": $PACKAGE_RATE}" "http://127.0.0.1:$PORT/_config/" >/dev/null

source scripts/demo-ui.sh

# --- phases -----------------------------------------------------------------
# user.dat records INSTALL_DIR_WIN as the first package's installPath; an
# earlier run's installation is removed so the road extracts again (the
# folder itself stays: a recorded folder that is gone is replaced by
# another).
phase_settle_directory() {
  corvel_keep_user_folders_in_prefix
  local link
  link=$(desktop_link "$PACKAGE_NAME")
  [ -z "$link" ] || rm -f "$link"
  rm -rf "$INSTALL_DIR"
  mkdir -p "$INSTALL_DIR"
  if set_install_dir "$PACKAGE_NAME" "$INSTALL_DIR_WIN"; then
    log "installation directory recorded in user.dat: $INSTALL_DIR_WIN"
  else
    log "no per-user folder found: the installer chooses the directory"
  fi
}

phase_start_installer() {
  log "starting $EXE"
  (cd "$(dirname "$EXE")" && exec "$WINE" "$EXE") >"$STATE/installer.log" 2>&1 &
  INSTALLER_PID=$!
  MAIN=
  find_main() { MAIN=$(main_window); [ -n "$MAIN" ]; }
  wait_for "the main window" find_main
  # The product's answer, then time for the window to show it (the banner
  # may come from the installer's own cache of an earlier run).
  wait_for "the product" logged /api/resource/products
  sleep 3
  shot 01-start-page
}

# Without the agreement the start is refused with a notice.
phase_agreement_notice() {
  click_at "$MAIN" "$AGREE_X" "$AGREE_Y"
  sleep 0.5
  click_at "$MAIN" "$START_X" "$START_Y"
  if wait_for "the agreement notice" find_notice; then
    sleep 0.5
    shot 02-agreement-notice
    close_notice
  fi
}

# Agreed: the preparation runs, chooses the first package and asks for its
# deploy descriptor.
phase_prepare() {
  click_at "$MAIN" "$AGREE_X" "$AGREE_Y"
  sleep 0.5
  click_at "$MAIN" "$START_X" "$START_Y"
  sleep 1.2
  shot 03-preparing
  sleep 2.5
  shot 04-package-chosen
}

# The descriptor's answer shows the install page with the directory.
# Returns 1 when no descriptor was asked for (a build without it).
phase_install_page() {
  if ! wait_up_to "$PHASE_WAIT_S" "the deploy descriptor" logged /api/resource/order; then
    log "phase install page: not reached (the start button asked for no deploy descriptor)"
    return 1
  fi
  sleep 2
  shot 05-install-page
  # The folder the installer settled on, as it recorded it.
  local settled
  settled=$(recorded_install_dir "$PACKAGE_NAME" || true)
  if [ -n "$settled" ] && [ "$settled" != "$INSTALL_DIR" ]; then
    log "the installer settled on another folder: $settled"
    INSTALL_DIR=$settled
  fi
}

# The download button; screenshots while the package comes and is
# extracted, until the product has started. Returns 1 when no download
# began (the button did nothing), 2 when the product never started.
phase_download_and_extract() {
  click_at "$MAIN" "$DOWNLOAD_X" "$DOWNLOAD_Y"
  if ! wait_up_to "$PHASE_WAIT_S" "the package download" logged /pkg/; then
    log "phase download: not reached (the download button fetched no package)"
    # A message window the click may have opened, for the record.
    find_notice && { shot 06-download-notice; close_notice; }
    return 1
  fi
  local n=0 began=$SECONDS
  while ! product_started && [ $((SECONDS - began)) -lt "$DEPLOY_WAIT_S" ]; do
    ended && break
    if find_notice; then  # a failure message: its screenshot tells which
      shot 06-deploy-notice
      close_notice
      break
    fi
    n=$((n + 1))
    [ "$n" -le 8 ] && shot "$(printf '06-deploying-%02d' "$n")"
    sleep 1.5
  done
  if ! product_started; then
    log "phase extraction and launch: the product did not start (no $MARKER_NAME in $INSTALL_DIR)"
    return 2
  fi
  log "the product started: $(head -1 "$INSTALL_DIR/$MARKER_NAME" | tr '\t' ' ')"
}

# "全部就绪" with the launch button; the desktop shortcut of the product.
# Returns 1 when no shortcut was made.
phase_ready() {
  sleep 1.5
  shot 07-ready
  local link
  link=$(desktop_link "$PACKAGE_NAME")
  if [ -n "$link" ]; then
    log "desktop shortcut: $link"
  else
    log "no desktop shortcut \"$PACKAGE_NAME.lnk\" was made"
    return 1
  fi
}

# Closing shows the exit advertisement; its close button ends the run.
phase_exit_advertisement() {
  click_at "$MAIN" "$CLOSE_X" "$CLOSE_Y"
  AD=
  find_ad() { AD=$(window_sized 740 580); [ -n "$AD" ]; }
  if wait_for "the exit advertisement" find_ad; then
    sleep 2
    shot 08-exit-advertisement
    click_at "$AD" 720 20
  fi
  wait_for "the installer to end" ended
  wait "$INSTALLER_PID" && rc=0 || rc=$?
  INSTALLER_PID=
  log "installer ended with exit code $rc"
}

# --- run ----------------------------------------------------------------------
phase_settle_directory
phase_start_installer
phase_agreement_notice
phase_prepare
deploy=not-built
if phase_install_page; then
  deploy_rc=0
  phase_download_and_extract || deploy_rc=$?
  case $deploy_rc in
    0) deploy=ok; phase_ready || deploy=failed ;;
    1) deploy=no-download ;;
    *) deploy=failed ;;
  esac
fi
phase_exit_advertisement
log "screenshots:"
ls -1 "$OUT"/*.png | sed 's/^/[demo]   /'
log "deployment road: $deploy"
# The road succeeded as far as it is built; a deployment that began and did
# not start the product fails the run.
[ "$deploy" != failed ]
