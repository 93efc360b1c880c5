#!/bin/bash
# Sets up the machine, builds both presets and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j2
ctest --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
scripts/wine-prefix.sh
ctest --preset windows
