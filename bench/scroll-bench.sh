#!/usr/bin/env bash
# Frame benchmark: a VBox of 1000 text rows scrolled by the wheel at 96 and
# 144 DPI; median frame time of the moving frames, frames per second, and the
# median of a whole relayout.
#   bench/scroll-bench.sh [frames]    (default 240)
exec bash "$(dirname "$0")/run-ui-bench.sh" ScrollFrameBench "${1:-240}"
