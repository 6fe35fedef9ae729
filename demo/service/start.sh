#!/usr/bin/env bash
# Starts the demo service in the background (the ctest fixture "demo.start"
# runs this) and waits until it has written where it listens.
#   start.sh <state folder> [port [server.py options...]]
#            (writes <folder>/service.json, service.pid, requests.jsonl and
#             service.log; the options go to server.py, e.g. --compress-dll)
# The port defaults to 0, a free one the system picks, so that several test
# runs on one machine never meet; run.sh starts it on the fixed port instead.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
state=${1:?usage: start.sh <state folder> [port]}
port=${2:-0}
shift $(($# < 2 ? $# : 2))
mkdir -p "$state"
state=$(cd "$state" && pwd)

bash "$HERE/stop.sh" "$state" || true
rm -f "$state/service.json" "$state/requests.jsonl"
setsid python3 "$HERE/server.py" --port "$port" --info "$state/service.json" --log "$state/requests.jsonl" \
  --lifetime "${CORVEL_DEMO_LIFETIME:-2400}" --idle "${CORVEL_DEMO_IDLE:-900}" "$@" \
  </dev/null >"$state/service.log" 2>&1 &
pid=$!
echo "$pid" >"$state/service.pid"
# Up to 20 s for its port; at once when it ended instead.
for _ in $(seq 1 200); do
  [ -s "$state/service.json" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$state/service.json" ]; then
  echo "demo service did not start:" >&2
  cat "$state/service.log" >&2
  exit 1
fi
cat "$state/service.json"
