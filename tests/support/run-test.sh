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
# line) and is run once more the same way. A run still going after its
# limit is ended and its output printed; unless a test had failed, it is
# run once more from the test that hung (or counted as passed when every
# test had passed and only Wine's exit hung), so a hang that comes back
# fails the test and shows where it was. A run whose Wine process died of a
# signal after every test had passed is counted as passed (recorded too).
# Every other result is reported as it is.
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
# A program ended by signal N exits with this plus N (SIGKILL: 137).
SIGNAL_RC_BASE=128
KILLED_RC=$((SIGNAL_RC_BASE + 9))
# One run's limit in seconds. A run still going then is ended and its output
# printed, so a hang shows the test it was in; ctest's own limit for the
# test (cmake/Tests.cmake) leaves room for one repeat after it.
# (CORVEL_TEST_RUN_LIMIT_S sets another limit, for the runner's own test.)
RUN_LIMIT_S=${CORVEL_TEST_RUN_LIMIT_S:-240}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Runs the program into $log; sets rc, and hung=1 when it reached the limit.
run_once() {
  local started=$SECONDS
  # --foreground: the signal goes to the test's own process only, never to
  # the Wine processes it started (the desktop process that a run's first
  # program starts serves every test of the run).
  timeout --foreground --kill-after=10 "$RUN_LIMIT_S" "$wine" "$@" >"$log" 2>&1
  rc=$?
  hung=0
  if [ $((SECONDS - started)) -ge "$RUN_LIMIT_S" ] && { [ "$rc" -eq 124 ] || [ "$rc" -eq "$KILLED_RC" ]; }; then
    hung=1
  fi
}

record_repeat() {
  mkdir -p "$repeats"
  echo "$prog_args ($1)" >"$repeats/$(basename "$prog").$$.${2:-repeat}"
}

passed_all() { grep -q '^\[  PASSED  \]' "$log" && ! grep -qF '[  FAILED  ]' "$log"; }

# Runs the program once more from the test that was running: the tests that
# already passed are left out, so state their windows left behind in the
# ended process cannot end the repeat the same way.
repeat_from_running_test() {
  local args=("$@")
  local passed
  passed=$(sed -n 's/^\[       OK \] \([A-Za-z0-9_./]*\) (.*$/\1/p' "$log" | tr -d '\r' | paste -sd: -)
  if [ -n "$passed" ] && ! printf '%s\n' "$@" | grep -q -- '^--gtest_filter'; then
    args+=("--gtest_filter=-$passed")
  fi
  run_once "${args[@]}"
  cat "$log"
  if [ "$hung" = 1 ]; then
    echo "[run-test] the repeat too was still going after ${RUN_LIMIT_S} s; it was ended"
  fi
}

prog=$1
prog_args="$*"
run_once "$@"
if [ "$rc" -ne 0 ] && [ "$hung" = 0 ] && [ ! -s "$log" ]; then
  echo "[run-test] Wine ended with $rc before the program printed anything; running it once more"
  record_repeat "no output"
  run_once "$@"
fi
cat "$log"
if [ "$hung" = 1 ]; then
  running=$(sed -n 's/^\[ RUN      \] \([A-Za-z0-9_./]*\).*$/\1/p' "$log" | tr -d '\r' | tail -n 1)
  echo "[run-test] the run was still going after ${RUN_LIMIT_S} s (last test started: ${running:-none}); it was ended"
  if passed_all; then
    # Every test passed and GoogleTest printed its summary: only Wine's exit
    # hung.
    echo "[run-test] every test had passed: counted as passed"
    record_repeat "exit hung after passing" killed
    rc=0
  elif grep -qF '[  FAILED  ]' "$log"; then
    echo "[run-test] a test had failed before: not repeated"
  else
    echo "[run-test] running the test again from the test it was in"
    record_repeat "hung in ${running:-startup}"
    repeat_from_running_test "$@"
  fi
elif [ "$rc" -ne 0 ] && grep -q 'X Error of failed request' "$log"; then
  if grep -qF '[  FAILED  ]' "$log"; then
    echo "[run-test] Wine ended on an X protocol error after a test failed: not repeated"
  else
    echo "[run-test] Wine ended on an X protocol error; running the test again from the test it was in"
    record_repeat "X protocol error"
    repeat_from_running_test "$@"
  fi
fi
# Seen on loaded machines: every test passed and GoogleTest printed its
# summary, then Wine's process died of a signal in its teardown (SIGKILL,
# and once SIGSEGV). A fault in the program's own code never ends it that
# way: Wine ends such a process with the Windows exception code. The tests
# ran and passed, so the run counts as passed; it is recorded with the
# repeats.
if [ "$rc" -gt "$SIGNAL_RC_BASE" ] && [ "$hung" = 0 ] && passed_all; then
  echo "[run-test] every test passed, then Wine's exit ended on signal $((rc - SIGNAL_RC_BASE)): counted as passed"
  record_repeat "ended on signal $((rc - SIGNAL_RC_BASE)) after passing" killed
  rc=0
fi
exit "$rc"
