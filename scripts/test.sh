#!/usr/bin/env bash
# Sets up the machine, builds both targets and runs every test under Wine
# inside an Xvfb display of its own, in the checkout's own Wine prefix. Safe
# to re-run. A run without arguments ends with the demo run (run-demo.sh).
#   scripts/test.sh [ctest arguments...]
# CORVEL_JOBS: parallel build and test jobs (default: the number of cores).
# Ends with the runs repeated (after a Wine X protocol error, a run that
# ended without printing anything, or a hang), the runs that ended by a
# signal after every test had passed, and the tests that skipped, with their
# reasons.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh

source scripts/wine-env.sh
BUILD="$ROOT/build/x86_64"
# tests/support/run-test.sh leaves one file here per repeated run.
REPEATS="$BUILD/test-repeats"
ran_tests=0

report_repeats() {
  local files=()
  [ -d "$REPEATS" ] && mapfile -t files < <(find "$REPEATS" -type f -printf '%f\n' | sort)
  echo "[test] runs repeated (Wine X protocol error, no output at all, or a hang) or ended by a signal after passing: ${#files[@]}"
  local f
  for f in "${files[@]}"; do echo "[test]   $(cat "$REPEATS/$f")"; done
}

# GoogleTest cases that skipped, from ctest's log, each with its reason.
report_skips() {
  local log="$BUILD/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || return 0
  tr -d '\r' <"$log" | awk '
    /^\[ RUN      \] / { reason = ""; inskip = 0; next }
    /: Skipped$/ { inskip = 1; next }
    inskip && !/^\[/ { reason = reason (reason == "" ? "" : " ") $0; next }
    /^\[  SKIPPED \] [A-Za-z_].* \([0-9]+ ms\)$/ { print "[test] skipped: " $4 ": " reason; inskip = 0 }
  ' | sort -u
}

finish() {
  local rc=$?
  if [ "$ran_tests" = 1 ]; then
    report_skips
    report_repeats
  fi
  corvel_stop_all
  exit "$rc"
}
# Before anything is started: whatever fails later, the display and the
# prefix's wineserver end with the script.
trap finish EXIT

corvel_start_display
rm -rf "$REPEATS"
mkdir -p "$ROOT/artifacts"
cd "$BUILD"
ran_tests=1
ctest --output-on-failure --no-tests=error -j "${CORVEL_JOBS:-$(nproc)}" "$@"
# A whole run ends with the demo run (scripts/run-demo.sh, the README's run
# command) in this run's display, alone: it drives the installer with real X
# input and ends the prefix's wineserver when it is done. Its screenshots go
# to artifacts/demo/.
if [ "$#" -eq 0 ]; then
  CORVEL_DEMO_SKIP_SETUP=1 bash "$ROOT/scripts/run-demo.sh"
fi
