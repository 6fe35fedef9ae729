#!/usr/bin/env bash
# Stops one of our local services started for a state folder, and fails
# when the service met a fault of its own while answering (a fault fails the
# run visibly, even when the test that met it passed).
#   stop-service.sh <state folder> <server script> <port key> <label>
#     server script: the service's path below the checkout, e.g.
#       tests/service/server.py; only a process running it is stopped
#     port key: the key of service.json holding the port /_shutdown is on
#     label: how the service is named in the failure message
set -uo pipefail
state=${1:?usage: stop-service.sh <state folder> <server script> <port key> <label>}
server=${2:?}
port_key=${3:?}
label=${4:?}
pidfile="$state/service.pid"
[ -f "$pidfile" ] || exit 0
pid=$(cat "$pidfile")
# Only our own server: the pid must still belong to the service's script.
if [ -n "$pid" ] && grep -qa "$server" "/proc/$pid/cmdline" 2>/dev/null; then
  port=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])" "$state/service.json" "$port_key" 2>/dev/null || true)
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
  echo "the $label failed while answering (from $state/service.log):" >&2
  cat "$state/service.log" >&2
  exit 1
fi
exit 0
