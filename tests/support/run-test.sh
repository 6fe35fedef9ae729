#!/usr/bin/env bash
# Runs one test executable under Wine:
#   run-test.sh <repeats folder> <wine> <exe> [args...]
# Only inside the environment of the checkout's test command: its own Wine
# prefix (made) and the Xvfb display it started (CORVEL_DISPLAY). Anything
# else, e.g. ctest started by hand from a desktop shell, is refused before
# Wine starts, so a test never uses ~/.wine, a personal prefix or the real
# display (where the mouse tests would move the real pointer).
#
# Wine's X11 driver ends the whole process on some X protocol errors (seen on
# Xvfb as "X Error of failed request" when a shown window turns layered). Such
# a run says nothing about the code under test, so it is run once more from
# the test it was in, unless it already reported a failed test; each repeat
# leaves a file in the repeats folder, which the test command counts. A run
# that failed without printing anything at all never got to the program
# (seen once on a loaded machine: Wine ended before the executable's first
# line) and is run once more the same way. Every other result is reported
# as it is.
set -u
repeats=$1
wine=$2
shift 2
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../../scripts/wine-env.sh" || exit 1

refuse() {
  echo "[run-test] refused: $*" >&2
  echo "[run-test] run the tests with: bash scripts/test.sh [ctest arguments], or by hand:" \
    "source scripts/wine-env.sh && corvel_start_display && (cd build/x86_64 && ctest ...)" >&2
  exit 1
}

if [ -z "${CORVEL_DISPLAY:-}" ]; then
  refuse "no display of the test run's own (CORVEL_DISPLAY is unset)"
fi
if [ -z "$(corvel_xvfb_of_display "${CORVEL_DISPLAY#:}")" ]; then
  refuse "no Xvfb of the test run holds CORVEL_DISPLAY=$CORVEL_DISPLAY"
fi
corvel_prefix_ready || refuse "the checkout's Wine prefix $WINEPREFIX is not made"
export DISPLAY=$CORVEL_DISPLAY

# The output goes to a file, printed when the run ends, not through a pipe:
# the wineserver that the first Wine process of a run starts inherits the
# output handles and keeps them open until the whole run ends, so a pipe
# would hold this test (and its ctest slot) open until then.
# The exit status of a program ended by SIGKILL.
KILLED_RC=137
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$wine" "$@" >"$log" 2>&1
rc=$?
if [ "$rc" -ne 0 ] && [ ! -s "$log" ]; then
  echo "[run-test] Wine ended with $rc before the program printed anything; running it once more"
  mkdir -p "$repeats"
  echo "$*" >"$repeats/$(basename "$1").$$"
  "$wine" "$@" >"$log" 2>&1
  rc=$?
fi
cat "$log"
if [ "$rc" -ne 0 ] && grep -q 'X Error of failed request' "$log"; then
  if grep -qF '[  FAILED  ]' "$log"; then
    echo "[run-test] Wine ended on an X protocol error after a test failed: not repeated"
  else
    # The repeat goes on from the test that was running: the tests that
    # already passed are left out, so X state their windows left behind in
    # the ended process cannot end the repeat the same way.
    args=("$@")
    passed=$(sed -n 's/^\[       OK \] \([A-Za-z0-9_./]*\) (.*$/\1/p' "$log" | tr -d '\r' | paste -sd: -)
    if [ -n "$passed" ] && ! printf '%s\n' "$@" | grep -q -- '^--gtest_filter'; then
      args+=("--gtest_filter=-$passed")
    fi
    echo "[run-test] Wine ended on an X protocol error; running the test again from the test it was in"
    mkdir -p "$repeats"
    echo "$*" >"$repeats/$(basename "$1").$$"
    "$wine" "${args[@]}" >"$log" 2>&1
    rc=$?
    cat "$log"
  fi
fi
# Seen on a loaded machine: every test passed and GoogleTest printed its
# summary, then Wine's process teardown ended in SIGKILL. The tests ran and
# passed, so the run counts as passed; it is recorded with the repeats.
if [ "$rc" -eq "$KILLED_RC" ] && grep -q '^\[  PASSED  \]' "$log" && ! grep -qF '[  FAILED  ]' "$log"; then
  echo "[run-test] every test passed, then Wine's exit was killed: counted as passed"
  mkdir -p "$repeats"
  echo "$* (killed after passing)" >"$repeats/$(basename "$1").$$.killed"
  rc=0
fi
exit "$rc"
