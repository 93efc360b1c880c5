#!/bin/bash
# Builds the optimised native tree and runs the loader, comparison and grid-paint benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target data_core_bench view_core_bench
build/bench/data/data_core_bench "$@"
build/bench/view/view_core_bench "$@"
