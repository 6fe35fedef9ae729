#!/usr/bin/env bash
# Runs one test executable under Wine: run-test.sh <wine> <exe> [args...]
# Wine's X11 driver ends the whole process on some X protocol errors (seen on
# Xvfb as "X Error of failed request" when a shown window turns layered). Such
# a run says nothing about the code under test, so it is run once more; every
# other result is reported as it is.
set -u
wine=$1
shift
log=$(mktemp)
"$wine" "$@" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
if [ "$rc" -ne 0 ] && grep -q 'X Error of failed request' "$log"; then
  echo "[run-test] Wine ended on an X protocol error; running the test again"
  "$wine" "$@"
  rc=$?
fi
rm -f "$log"
exit "$rc"
