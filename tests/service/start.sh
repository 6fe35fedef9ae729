#!/usr/bin/env bash
# Starts the HTTP test service in the background for a test run (the ctest
# fixture "service.start" runs this). Makes the test certificates, makes sure
# the test Wine prefix trusts the test CA, stops a service this folder
# started before, and waits until the new one has written its ports.
#   start.sh <state folder>     (writes <folder>/service.json, service.pid, service.log)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
state=${1:?usage: start.sh <state folder>}
mkdir -p "$state"
state=$(cd "$state" && pwd)
certs=${CORVEL_TEST_CERTS:-$ROOT/build/testcerts}

bash "$HERE/make-certs.sh" "$certs"

# The prefix the tests run in (the one scripts/wine-env.sh names unless the
# caller already chose one).
keep_prefix=${WINEPREFIX:-}
source "$ROOT/scripts/wine-env.sh"
[ -n "$keep_prefix" ] && export WINEPREFIX="$keep_prefix"
corvel_make_prefix
CORVEL_TEST_CERTS="$certs" bash "$ROOT/scripts/prefix-setup.sh"

bash "$HERE/stop.sh" "$state" || true
rm -f "$state/service.json"
setsid python3 "$HERE/server.py" --info "$state/service.json" --certs "$certs" \
  </dev/null >"$state/service.log" 2>&1 &
echo $! >"$state/service.pid"
for _ in $(seq 1 100); do
  [ -s "$state/service.json" ] && break
  sleep 0.1
done
if [ ! -s "$state/service.json" ]; then
  echo "test service did not start:" >&2
  cat "$state/service.log" >&2
  exit 1
fi
cat "$state/service.json"
