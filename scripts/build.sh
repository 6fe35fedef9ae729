#!/usr/bin/env bash
# Configures and builds the x86_64 (tested) and i686 (shipping) targets
# (CORVEL_JOBS parallel jobs; default: the number of cores).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
for arch in x86_64 i686; do
  dir="$ROOT/build/$arch"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake"
  fi
  echo "[build] $arch"
  cmake --build "$dir" -j "${CORVEL_JOBS:-$(nproc)}"
done
