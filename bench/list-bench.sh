#!/usr/bin/env bash
# List benchmark: 10 000 rows by 5 columns from markup; medians of the build
# (to the first painted frame), of a scroll frame with its frames per second,
# and of selecting every row.
#   bench/list-bench.sh [runs]    (default 5)
exec bash "$(dirname "$0")/run-ui-bench.sh" ListBench "${1:-5}"
