#!/bin/bash
# Sets up the machine, builds the presets and runs every test, the short fuzz runs included.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j2
ctest --preset native
# Each fuzz target for a short, seeded while; a finding fails the run.
scripts/fuzz.sh --quick
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
scripts/wine-prefix.sh
# Window tests need a display; without one the Windows tests run on their own Xvfb.
if [ -n "${DISPLAY:-}" ]; then
  ctest --preset windows
else
  xvfb-run -a ctest --preset windows
fi
