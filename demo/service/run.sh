#!/usr/bin/env bash
# Runs the demo service in the foreground on the port the installer's string
# table points at by default (18080; CORVEL_SERVICE_PORT or the first
# argument changes it). Requests are logged to demo-requests.jsonl here.
# The packages carry the built demo product and "Compress.dll" is the 7-Zip
# engine set-up installed (demo_product_args), when they are there.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/product-args.sh"
exec python3 "$HERE/server.py" --port "${1:-${CORVEL_SERVICE_PORT:-18080}}" \
  --log "${CORVEL_DEMO_LOG:-$PWD/demo-requests.jsonl}" $(demo_product_args)
