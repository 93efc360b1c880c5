#!/bin/bash
# Sets up the machine, builds the presets and runs every test, the short fuzz runs included:
# the Windows suite for the 64-bit build and, where this machine can run them, for the
# 32-bit one. Ends with the seconds each phase took.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

phases=()
phase_start=$SECONDS
phase() {
  phases+=("$(printf '%-22s %5d s' "$1" $((SECONDS - phase_start)))")
  phase_start=$SECONDS
}
xvfb=
wine_server=
x11='HKCU\Software\Wine\X11 Driver'
finish() {
  local rc=$?
  if [ -n "$wine_server" ]; then
    scripts/wine-run.sh reg delete "$x11" /v Managed /f </dev/null >/dev/null 2>&1 || true
    "$wine_server" -k 2>/dev/null || true
  fi
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  echo "test: seconds per phase"
  printf '  %s\n' "${phases[@]}"
  printf '  %-22s %5d s\n' total "$SECONDS"
  exit "$rc"
}
trap finish EXIT

scripts/setup.sh
export COSTUPDATE_SETUP_DONE=1
phase setup
cmake --preset native >/dev/null
cmake --build --preset native -j2
phase "native build"
# The native tests are independent programs; two at a time use both cores.
ctest --preset native -j2
phase "native tests"
# Each fuzz target for a short, seeded while; a finding fails the run.
scripts/fuzz.sh --quick
phase "fuzz"
for preset in windows windows32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
  phase "$preset build"
done

scripts/wine-prefix.sh
# Window tests need a display: without one, both suites share an Xvfb of their own.
if [ -z "${DISPLAY:-}" ]; then
  source scripts/own-display.sh
  own_display 100 140
fi
# One Wine server and its system processes for the whole run, instead of a new start for
# each of the hundreds of short Windows processes. Started with no terminal or pipe of ours,
# which it would otherwise keep open; the first program (also without) starts the desktop.
source scripts/wine-env.sh
wine_server="$wineserver_cmd"
"$wine_server" -p </dev/null >/dev/null 2>&1
# Xvfb has no window manager: a window that Wine leaves to one waits 2 s for it at every
# hide or destroy, which was most of the window tests' time. For the tests Wine keeps its
# windows to itself; the end of the run (and the demo) gives them back.
scripts/wine-run.sh reg add "$x11" /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
phase "wine start"

ctest --preset windows
phase "windows tests"
# The 32-bit suite is always built; it runs where 32-bit programs can.
mkdir -p build/probe32
if scripts/can-run-32.sh >build/probe32/why.txt; then
  ctest --preset windows32
  phase "windows32 tests"
else
  echo "test: SKIPPED the 32-bit Windows tests (built, not run): $(cat build/probe32/why.txt)"
fi
