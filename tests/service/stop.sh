#!/usr/bin/env bash
# Stops the test service that start.sh started for this state folder, and
# fails when the service met a fault of its own while answering.
#   stop.sh <state folder>
set -uo pipefail
state=${1:?usage: stop.sh <state folder>}
exec bash "$(dirname "$0")/../../scripts/stop-service.sh" "$state" tests/service/server.py http_port "test service"
