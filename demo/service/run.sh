#!/usr/bin/env bash
# Runs the demo service in the foreground on the port the installer's string
# table points at by default (18080; CORVEL_SERVICE_PORT or the first
# argument changes it). Requests are logged to demo-requests.jsonl here.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
exec python3 "$HERE/server.py" --port "${1:-${CORVEL_SERVICE_PORT:-18080}}" --log "${CORVEL_DEMO_LOG:-$PWD/demo-requests.jsonl}"
