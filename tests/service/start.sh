#!/usr/bin/env bash
# Starts the HTTP test service in the background for a test run (the ctest
# fixture "service.start" runs this). Makes the test certificates, makes sure
# the checkout's Wine prefix trusts the test CA, stops a service this folder
# started before, and waits until the new one has written its ports.
#   start.sh <state folder>     (writes <folder>/service.json, service.pid, service.log)
# The prefix is the checkout's own (.wine/), made by the test command before
# any test runs; a WINEPREFIX naming any other prefix is refused, and none
# is ever made or deleted here.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
state=${1:?usage: start.sh <state folder>}
mkdir -p "$state"
state=$(cd "$state" && pwd)
certs=${CORVEL_TEST_CERTS:-$ROOT/build/testcerts}

source "$ROOT/scripts/wine-env.sh"
bash "$HERE/make-certs.sh" "$certs"
if ! corvel_prefix_ready; then
  echo "the checkout's Wine prefix $WINEPREFIX is not made yet: run bash scripts/test.sh, or" \
    "source scripts/wine-env.sh && corvel_start_display" >&2
  exit 1
fi
# Wine processes of the run see only the run's own display (none by hand).
export DISPLAY=${CORVEL_DISPLAY:-}
CORVEL_TEST_CERTS="$certs" bash "$ROOT/scripts/prefix-setup.sh"

bash "$HERE/stop.sh" "$state" || true
rm -f "$state/service.json"
setsid python3 "$HERE/server.py" --info "$state/service.json" --certs "$certs" \
  </dev/null >"$state/service.log" 2>&1 &
pid=$!
echo "$pid" >"$state/service.pid"
# Up to 20 s for its ports; at once when it ended instead.
for _ in $(seq 1 200); do
  [ -s "$state/service.json" ] && break
  corvel_alive "$pid" || break
  sleep 0.1
done
if [ ! -s "$state/service.json" ]; then
  echo "test service did not start:" >&2
  cat "$state/service.log" >&2
  exit 1
fi
cat "$state/service.json"
