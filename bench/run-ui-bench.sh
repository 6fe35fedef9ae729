#!/usr/bin/env bash
# Builds one x86_64 benchmark driver of the UI library and runs it under
# wine64 inside the checkout's own Xvfb and Wine prefix, as scripts/test.sh
# does.
#   bench/run-ui-bench.sh <target> [arguments...]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TARGET=$1
shift

echo "[bench] building"
if [ ! -f "$ROOT/build/x86_64/build.ninja" ]; then
  cmake -S "$ROOT" -B "$ROOT/build/x86_64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
fi
cmake --build "$ROOT/build/x86_64" -j 4 --target "$TARGET" >/dev/null

source "$ROOT/scripts/wine-env.sh"
# Making a new prefix runs commands that may end non-zero on their own.
set +e
corvel_start_display
set -e
trap corvel_stop_all EXIT
"$WINE" "$ROOT/build/x86_64/$TARGET.exe" "$@"
