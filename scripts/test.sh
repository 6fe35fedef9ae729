#!/usr/bin/env bash
# Sets up the machine, builds both targets and runs every test under Wine
# inside an Xvfb display of its own. Safe to re-run.
#   scripts/test.sh [ctest arguments...]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
bash scripts/build.sh

source scripts/wine-env.sh
corvel_start_display
trap corvel_stop_all EXIT

mkdir -p "$ROOT/artifacts"
cd "$ROOT/build/x86_64"
jobs=$(nproc)
ctest --output-on-failure --no-tests=error -j "$jobs" "$@"
