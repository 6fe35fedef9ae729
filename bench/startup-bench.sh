#!/usr/bin/env bash
# Installer start-up benchmark: from starting CorvelSetup.exe to its main
# window showing the demo product (the banner fetched from the service on
# loopback is on screen), with a cold prefix (its wineserver ended before
# each run) and a warm one (the wineserver kept running). Prints each run
# and the medians. Run after scripts/build.sh.
#   bench/startup-bench.sh [runs]    (default 7)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
RUNS=${1:-7}
source scripts/wine-env.sh
BUILD="$ROOT/build/x86_64"
STATE="$BUILD/startup-bench"
PORT=$(sed -n 's/^CORVEL_SERVICE_PORT:STRING=//p' "$BUILD/CMakeCache.txt")
PORT=${PORT:-18080}
# Seconds the watcher waits for one start.
WATCH_S=60
mkdir -p "$STATE"

INSTALLER_PID=
finish() {
  local rc=$?
  [ -n "$INSTALLER_PID" ] && { kill "$INSTALLER_PID" 2>/dev/null || true; wait "$INSTALLER_PID" 2>/dev/null || true; }
  bash demo/service/stop.sh "$STATE" >/dev/null 2>&1 || true
  corvel_stop_all
  exit "$rc"
}
trap finish EXIT
trap 'exit 143' INT TERM
corvel_start_display
bash demo/service/start.sh "$STATE" "$PORT" >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {if (NR) print (NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2); else print "n/a"}'; }

one_run() {  # one_run <cold|warm>: prints "<window ms> <shown ms>"
  if [ "$1" = cold ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  local t0 out
  t0=$(date +%s%N)
  (cd "$BUILD" && exec "$WINE" ./CorvelSetup.exe) >/dev/null 2>&1 &
  INSTALLER_PID=$!
  out=$("$WINE" "$BUILD/StartupWatch.exe" "$WATCH_S" 2>/dev/null | tr -d '\r') || true
  kill "$INSTALLER_PID" 2>/dev/null || true
  wait "$INSTALLER_PID" 2>/dev/null || true
  INSTALLER_PID=
  local w s
  w=$(sed -n 's/.*window_ns=\([0-9]*\).*/\1/p' <<<"$out")
  s=$(sed -n 's/.*shown_ns=\([0-9]*\).*/\1/p' <<<"$out")
  [ -n "$w" ] && [ -n "$s" ] || { echo "fail fail"; return; }
  echo "$(( (w - t0) / 1000000 )) $(( (s - t0) / 1000000 ))"
}

# One start first, so that the prefix is made and its files are in the
# page cache for both series alike.
one_run warm >/dev/null
for mode in cold warm; do
  : >"$STATE/$mode.txt"
  for i in $(seq 1 "$RUNS"); do
    r=$(one_run "$mode")
    echo "[startup] $mode run $i: window ${r% *} ms, product shown ${r#* } ms"
    echo "$r" >>"$STATE/$mode.txt"
  done
  echo "[startup] $mode median over $RUNS: window $(grep -v fail "$STATE/$mode.txt" | cut -d' ' -f1 | median) ms," \
       "product shown $(grep -v fail "$STATE/$mode.txt" | cut -d' ' -f2 | median) ms"
done
