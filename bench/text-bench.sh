#!/usr/bin/env bash
# Frame benchmark: full and one-control repaint of 500 text controls at 96 and
# 192 DPI, with their ratio.
#   bench/text-bench.sh [frames]    (default 30)
exec bash "$(dirname "$0")/run-ui-bench.sh" TextFrameBench "${1:-30}"
