#!/usr/bin/env bash
# Frame benchmark: full and one-control repaint of 500 text controls at 96 and
# 192 DPI, with their ratio.
# Runs the x86_64 TextFrameBench under wine64 inside the checkout's own Xvfb and
# Wine prefix, as scripts/test.sh does.
#   bench/text-bench.sh [frames]    (default 30)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-30}

echo "[bench] building"
if [ ! -f "$ROOT/build/x86_64/build.ninja" ]; then
  cmake -S "$ROOT" -B "$ROOT/build/x86_64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
fi
cmake --build "$ROOT/build/x86_64" -j 4 --target TextFrameBench >/dev/null

source "$ROOT/scripts/wine-env.sh"
# Making a new prefix runs commands that may end non-zero on their own.
set +e
corvel_start_display
set -e
trap corvel_stop_all EXIT
"$WINE" "$ROOT/build/x86_64/TextFrameBench.exe" "$RUNS"
