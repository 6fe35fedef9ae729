#!/usr/bin/env bash
# The test run's Xvfb: runs that start at the same moment each get a display
# of their own, held by their own server and stopped by its id; a server that
# fails or never comes up is reported and leaves nothing running.
set -u
source "$(dirname "$0")/support/check.sh"

work=$(mktemp -d)
trap 'touch "$work/stop"; wait; rm -rf "$work"' EXIT

# --- Several runs at once ----------------------------------------------------
runs=3
for i in $(seq 1 $runs); do
  (
    source "$CHECKOUT/scripts/wine-env.sh"
    wait_for_file "$work/go"
    if corvel_start_xvfb >"$work/log.$i" 2>&1; then
      echo "$DISPLAY $CORVEL_XVFB_PID" >"$work/run.$i.tmp"
    else
      echo failed >"$work/run.$i.tmp"
    fi
    mv "$work/run.$i.tmp" "$work/run.$i"
    wait_for_file "$work/stop" 120
    corvel_stop_display
  ) &
done
touch "$work/go"
displays=()
pids=()
for i in $(seq 1 $runs); do
  wait_for_file "$work/run.$i" 60
  read -r display pid 2>/dev/null <"$work/run.$i" || display=missing
  if [ "$display" = failed ] || [ "$display" = missing ]; then
    fail_check "run $i got no display: $(cat "$work/log.$i" 2>/dev/null)"
    continue
  fi
  displays+=("$display")
  pids+=("$pid")
  # The display's lock names this run's own server.
  source "$CHECKOUT/scripts/wine-env.sh"
  expect_eq "run $i: server holding $display" "$pid" "$(corvel_xvfb_of_display "${display#:}")"
done
expect_eq "distinct displays" "${#displays[@]}" "$(printf '%s\n' "${displays[@]}" | sort -u | grep -c .)"
touch "$work/stop"
wait
for pid in "${pids[@]}"; do
  ! corvel_alive "$pid" || fail_check "Xvfb $pid still runs after its run stopped it"
done

# --- A server that fails, or never comes up ------------------------------------
mkdir -p "$work/bin"
# Two free display numbers in a row, whatever other runs hold.
free=300
while [ -e "/tmp/.X$free-lock" ] || [ -e "/tmp/.X$((free + 1))-lock" ] ||
      [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X11-unix/X$((free + 1))" ]; do
  free=$((free + 2))
done
# name | fake Xvfb body | expected output
fakes=(
  "ends at once|echo 'fake server refused'; exit 1|fake server refused"
  "never listens|exec sleep 60|did not come up"
)
for entry in "${fakes[@]}"; do
  IFS='|' read -r name body expected <<<"$entry"
  printf '#!/bin/sh\necho $$ >>"%s"\n%s\n' "$work/fake.pids" "$body" >"$work/bin/Xvfb"
  chmod +x "$work/bin/Xvfb"
  output=$(
    PATH="$work/bin:$PATH"
    source "$CHECKOUT/scripts/wine-env.sh"
    CORVEL_FIRST_DISPLAY=$free
    CORVEL_DISPLAY_TRIES=2
    CORVEL_XVFB_START_S=1
    unset DISPLAY CORVEL_DISPLAY
    corvel_start_xvfb 2>&1
    echo "status=$? display=${DISPLAY:-none} pid=${CORVEL_XVFB_PID:-none}"
  )
  expect_contains "$name" "$expected" "$output"
  expect_contains "$name" "status=1 display=none pid=none" "$output"
  expect_eq "$name: servers tried" 2 "$(grep -c . "$work/fake.pids")"
  while read -r pid; do
    ! corvel_alive "$pid" || fail_check "$name: the fake server $pid still runs"
  done <"$work/fake.pids"
  rm -f "$work/fake.pids"
done

finish_checks
