#!/usr/bin/env bash
# tests/support/run-test.sh: refuses to run outside the test run's display;
# repeats a run once only when Wine ended it on an X protocol error before
# any test failed, or when it failed without printing anything, recording
# each repeat; counts a run whose Wine process died of a signal after every
# test passed as passed (recorded too); ends a run still going after its limit, printing
# its output, and repeats it like an X error (or counts it as passed when
# every test had passed); passes every other result on.
# A stand-in for Wine plays the test program's runs.
set -u
source "$(dirname "$0")/support/check.sh"
if [ -z "${CORVEL_DISPLAY:-}" ]; then
  echo "needs the test run's display: run it through scripts/test.sh"
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runner="$CHECKOUT/tests/support/run-test.sh"
# The stand-in: run N of a program prints and ends as its script's line N
# says ("-" prints nothing at all; status "hang" never ends).
# A short run limit, so the hangs below end quickly.
export CORVEL_TEST_RUN_LIMIT_S=2
cat >"$work/wine" <<'STUB'
#!/usr/bin/env bash
script=$1
n=$(( $(cat "$script.runs" 2>/dev/null || echo 0) + 1 ))
echo "$n" >"$script.runs"
shift
echo "$*" >"$script.args$n"
line=$(sed -n "${n}p" "$script")
code=${line%% *}
[ "${line#* }" = "-" ] || printf '%b\n' "${line#* }"
# "hang": the program never ends by itself.
[ "$code" = hang ] && exec sleep 600
exit "$code"
STUB
chmod +x "$work/wine"

# name | expected status | expected runs | expected repeats | run lines (status output)...
cases=(
  "passes|0|1|0|0 [  PASSED  ] 1 test."
  "fails without an X error|3|1|0|3 [  FAILED  ] A.B (1 ms)"
  "X error, then passes|0|2|1|1 X Error of failed request:  BadMatch|0 [  PASSED  ] 1 test."
  "X error twice|1|2|1|1 X Error of failed request:  BadMatch|1 X Error of failed request:  BadMatch"
  "X error after a failed test|1|1|0|1 [  FAILED  ] A.B (1 ms)\\nX Error of failed request:  BadMatch|0 [  PASSED  ] 1 test."
  "silent failure, then passes|0|2|1|5 -|0 [  PASSED  ] 1 test."
  "silent failure twice|5|2|1|5 -|5 -"
  "silent success is not repeated|0|1|0|0 -"
  "killed after every test passed|0|1|1|137 [  PASSED  ] 2 tests."
  "killed after a failed test|137|1|0|137 [  PASSED  ] 1 test.\\n[  FAILED  ] A.B (1 ms)"
  "killed before the summary|137|1|0|137 [ RUN      ] A.B"
  "segmentation fault after every test passed|0|1|1|139 [  PASSED  ] 2 tests."
  "segmentation fault after a failed test|139|1|0|139 [  PASSED  ] 1 test.\\n[  FAILED  ] A.B (1 ms)"
  "Windows exception after every test passed|5|1|0|5 [  PASSED  ] 2 tests."
  "hang in a test, then passes|0|2|1|hang [ RUN      ] A.B|0 [  PASSED  ] 1 test."
  "hang twice|124|2|1|hang [ RUN      ] A.B|hang [ RUN      ] A.B"
  "hang before any output, then passes|0|2|1|hang -|0 [  PASSED  ] 1 test."
  "hang after a failed test|124|1|0|hang [  FAILED  ] A.B (1 ms)|0 [  PASSED  ] 1 test."
  "hang after every test passed|0|1|1|hang [  PASSED  ] 2 tests."
)
i=0
for entry in "${cases[@]}"; do
  i=$((i + 1))
  IFS='|' read -r name status runs repeats lines <<<"$entry"
  printf '%s\n' "${entry#*|*|*|*|}" | tr '|' '\n' >"$work/program$i"
  bash "$runner" "$work/repeats$i" "$work/wine" "$work/program$i" >"$work/out$i" 2>&1
  expect_eq "$name: status" "$status" "$?"
  expect_eq "$name: runs" "$runs" "$(cat "$work/program$i.runs")"
  expect_eq "$name: repeats recorded" "$repeats" "$(find "$work/repeats$i" -type f 2>/dev/null | grep -c .)"
done

# The repeat goes on from the test that was running: the tests that passed
# before the X error or the hang are filtered out of it. A hang's output
# names the test it was in.
# name | first run's status | how the first run ends
resumptions=(
  "after an X error|1|X Error of failed request:  BadWindow"
  "after a hang|hang|"
)
for entry in "${resumptions[@]}"; do
  IFS='|' read -r name code ending <<<"$entry"
  rm -f "$work/resumed".*
  printf '%s\n' "$code [ RUN      ] A.One\n[       OK ] A.One (5 ms)\n[ RUN      ] A.Two\n[       OK ] A.Two (1 ms)\n[ RUN      ] B.Three\n$ending" \
    "0 [  PASSED  ] 1 test." >"$work/resumed"
  bash "$runner" "$work/repeats-resumed" "$work/wine" "$work/resumed" >"$work/out-resumed" 2>&1
  expect_eq "resumed $name: status" "0" "$?"
  expect_eq "resumed $name: first run's arguments" "" "$(cat "$work/resumed.args1")"
  expect_eq "resumed $name: the repeat leaves out what passed" "--gtest_filter=-A.One:A.Two" "$(cat "$work/resumed.args2")"
done
expect_contains "a hang names its test" "last test started: B.Three" "$(cat "$work/out-resumed")"

# Outside the test run's display nothing runs.
echo "0 ran" >"$work/program"
# name | CORVEL_DISPLAY (empty: unset)
refusals=(
  "no display of the run|"
  "a display no Xvfb of the run holds|:59999"
)
for entry in "${refusals[@]}"; do
  IFS='|' read -r name display <<<"$entry"
  rm -f "$work/program.runs"
  if [ -n "$display" ]; then
    output=$(CORVEL_DISPLAY=$display bash "$runner" "$work/repeats" "$work/wine" "$work/program" 2>&1)
  else
    output=$(env -u CORVEL_DISPLAY bash "$runner" "$work/repeats" "$work/wine" "$work/program" 2>&1)
  fi
  status=$?
  [ "$status" -ne 0 ] || fail_check "$name: not refused"
  expect_contains "$name" "[run-test] refused" "$output"
  [ ! -e "$work/program.runs" ] || fail_check "$name: the program ran"
done

finish_checks
