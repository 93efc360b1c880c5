#!/bin/bash
# Sets up the machine, builds the presets and runs every test, the short fuzz runs included:
# the Windows suite for the 64-bit and for the 32-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native -j2
ctest --preset native
# Each fuzz target for a short, seeded while; a finding fails the run.
scripts/fuzz.sh --quick
for preset in windows windows32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
scripts/wine-prefix.sh
# Window tests need a display; without one the Windows tests run on their own Xvfb.
windows_tests() {
  if [ -n "${DISPLAY:-}" ]; then
    ctest --preset "$1"
  else
    xvfb-run -a ctest --preset "$1"
  fi
}
windows_tests windows
# The 32-bit suite is always built; it runs where 32-bit programs can.
mkdir -p build/probe32
if scripts/can-run-32.sh >build/probe32/why.txt; then
  windows_tests windows32
else
  echo "test: SKIPPED the 32-bit Windows tests (built, not run): $(cat build/probe32/why.txt)"
fi
