#!/usr/bin/env bash
# The demo service's answers, pictures, packages, modes and request log.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
exec python3 "$ROOT/demo/service/server_test.py" -v
