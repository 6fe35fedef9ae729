#!/usr/bin/env bash
# Configures and builds the x86_64 (tested) and i686 (shipping) targets
# (CORVEL_JOBS parallel jobs; default: the number of cores).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
# The i686 build is the shipping one and is compiled, never run here: an
# optimised build without debug information (a tenth of the disk). The
# x86_64 build runs the tests and keeps its debug information.
build_type_for() {
  if [ "$1" = i686 ]; then echo -DCMAKE_BUILD_TYPE=Release; fi
}
for arch in x86_64 i686; do
  dir="$ROOT/build/$arch"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" $(build_type_for "$arch")
  fi
  echo "[build] $arch"
  cmake --build "$dir" -j "${CORVEL_JOBS:-$(nproc)}"
done
