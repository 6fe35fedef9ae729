#!/usr/bin/env bash
# Stops the demo service that start.sh started for this state folder, and
# fails when the service met a fault of its own while answering.
#   stop.sh <state folder>
set -uo pipefail
state=${1:?usage: stop.sh <state folder>}
pidfile="$state/service.pid"
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
# Only our own server: the pid must still belong to demo/service/server.py.
if [ -n "$pid" ] && grep -qa "demo/service/server.py" "/proc/$pid/cmdline" 2>/dev/null; then
  port=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['port'])" "$state/service.json" 2>/dev/null || true)
  if [ -n "$port" ]; then
    curl -s -m 3 "http://127.0.0.1:$port/_shutdown" >/dev/null 2>&1 || true
  fi
  for _ in $(seq 1 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
fi
rm -f "$pidfile" "$state/service.json"
if grep -q "^service error in" "$state/service.log" 2>/dev/null; then
  echo "the demo service failed while answering (from $state/service.log):" >&2
  cat "$state/service.log" >&2
  exit 1
fi
exit 0
