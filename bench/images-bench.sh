#!/usr/bin/env bash
# Image benchmark: decode and draw medians of a 512 x 512 PNG, a 60-frame GIF
# and an SVG icon at four DPIs, cold and cached, with the decode counts.
# Runs the x86_64 ImageBench under wine64 inside the checkout's own Xvfb and
# Wine prefix, as scripts/test.sh does.
#   bench/images-bench.sh [runs]    (default 15)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-15}

echo "[bench] building"
if [ ! -f "$ROOT/build/x86_64/build.ninja" ]; then
  cmake -S "$ROOT" -B "$ROOT/build/x86_64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
fi
cmake --build "$ROOT/build/x86_64" -j 4 --target ImageBench >/dev/null

source "$ROOT/scripts/wine-env.sh"
# Making a new prefix runs commands that may end non-zero on their own.
set +e
corvel_start_display
set -e
trap corvel_stop_all EXIT
"$WINE" "$ROOT/build/x86_64/ImageBench.exe" "$RUNS"
