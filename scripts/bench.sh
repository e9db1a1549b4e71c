#!/usr/bin/env bash
# Builds the tool and its benchmark and prints one table, measured in one run under a
# private Xvfb: start-up against a bare dialog, idle CPU, peak working set, sizes, the
# time from the firmware tool's exit to the outcome prompt, the tool log's throughput.
# An optional argument sets the number of start-ups and repairs measured (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target orv_bench

source scripts/xvfb.sh
orv_xvfb_start
trap 'orv_xvfb_stop; bash "$root/scripts/stop-wine.sh" "$root/build"' EXIT
export ORV_BUILD=$root/build ORV_DIST=$root/build/dist
scripts/wine-run.sh build/tests/orv_bench.exe "$@"
