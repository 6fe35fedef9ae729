# Checks for the tests of the test scripts (sourced). A failed check prints
# what was expected and what came, and the test goes on; finish_checks ends
# the test with status 1 when any check failed.
CHECK_FAILURES=0
CHECKOUT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)

fail_check() {
  echo "FAILED: $*"
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
}

# expect_eq <what> <expected> <actual>
expect_eq() {
  [ "$2" = "$3" ] || fail_check "$1: expected [$2], got [$3]"
}

# expect_contains <what> <needle> <text>
expect_contains() {
  case "$3" in
    *"$2"*) ;;
    *) fail_check "$1: [$2] not in output:"$'\n'"$3" ;;
  esac
}

# wait_for_file <file> [seconds, default 10]: waits for the file to appear;
# false when it did not. Write such files whole (to another name, then mv).
wait_for_file() {
  local _
  for _ in $(seq 1 $((${2:-10} * 10))); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

finish_checks() {
  if [ "$CHECK_FAILURES" -ne 0 ]; then
    echo "$CHECK_FAILURES check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}
