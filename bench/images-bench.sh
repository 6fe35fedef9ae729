#!/usr/bin/env bash
# Image benchmark: decode and draw medians of a 512 x 512 PNG, a 60-frame GIF
# and an SVG icon at four DPIs, cold and cached, with the decode counts.
#   bench/images-bench.sh [runs]    (default 15)
exec bash "$(dirname "$0")/run-ui-bench.sh" ImageBench "${1:-15}"
