#!/usr/bin/env bash
# Skinned window start-up benchmark: creation to first present of a
# 300-control skin at 96 and 192 DPI, cold (a new process per run) and warm.
#   bench/skin-bench.sh [runs]    (default 9)
exec bash "$(dirname "$0")/run-ui-bench.sh" SkinWindowBench "${1:-9}"
