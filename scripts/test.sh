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
xvfbs=()
servers=()
x11='HKCU\Software\Wine\X11 Driver'
finish() {
  local rc=$?
  local prefix
  for prefix in "${servers[@]}"; do
    WINEPREFIX="$prefix" scripts/wine-run.sh reg delete "$x11" /v Managed /f </dev/null >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" "$wineserver_cmd" -k 2>/dev/null || true
  done
  [ ${#xvfbs[@]} = 0 ] || kill "${xvfbs[@]}" 2>/dev/null || true
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
source scripts/wine-env.sh
source scripts/own-display.sh
# The pid of the persistent Wine server of the prefix $1, if it runs.
server_of() {
  local pid
  for pid in $(pgrep -f "^$wineserver_cmd -p\$"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$1" && echo "$pid"
  done
  return 0
}
# A suite whose server ended part way still passes, but each test after it starts a server
# of its own and its windows wait for a window manager: say so, as it explains a slow run.
check_server() {
  [ "$(server_of "$1")" = "$2" ] ||
    echo "test: the Wine server of $1 ended during the tests; the later tests ran slower without it"
}
# Readies the Wine prefix $WINEPREFIX for a suite: a display (an Xvfb of its own unless one
# was given), and one Wine server and its system processes for the whole suite instead of a
# new start for each of the hundreds of short Windows processes. The server is started with
# no terminal or pipe of ours, which it would otherwise keep open; the first program (also
# without) starts the desktop.
# Xvfb has no window manager: a window that Wine leaves to one waits 2 s for it at every
# hide or destroy, which was most of the window tests' time. For the tests Wine keeps its
# windows to itself; the end of the run (and the demo) gives them back.
start_wine() {
  if [ -z "${DISPLAY:-}" ]; then
    own_display "$1" "$2"
    xvfbs+=("$xvfb")
  fi
  "$wineserver_cmd" -p </dev/null >/dev/null 2>&1
  servers+=("$WINEPREFIX")
  started_server["$WINEPREFIX"]="$(server_of "$WINEPREFIX")"
  scripts/wine-run.sh reg add "$x11" /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
}
# The 32-bit suite is always built; it runs where 32-bit programs can, beside the 64-bit one
# in a copy of the prefix with a server and a display of its own, so that neither suite's
# windows, probes or kills reach the other's, and each has a core.
mkdir -p build/probe32
run32=0
scripts/can-run-32.sh >build/probe32/why.txt && run32=1
# A server the probe left must be gone before the suites start their own.
"$wineserver_cmd" -w
prefix32="$root/build/windows32/wineprefix"
declare -A started_server
prefix64="$WINEPREFIX"
given_display="${DISPLAY:-}"
if [ "$run32" = 1 ]; then
  WINEPREFIX="$prefix32" "$wineserver_cmd" -k 2>/dev/null || true
  # Copied after its last server wrote the registry out.
  rm -rf "$prefix32"
  cp -a "$prefix64" "$prefix32"
  export WINEPREFIX="$prefix32"
  unset DISPLAY
  start_wine 141 180
  display32="$DISPLAY"
  export WINEPREFIX="$prefix64"
  if [ -n "$given_display" ]; then export DISPLAY="$given_display"; else unset DISPLAY; fi
fi
start_wine 100 140
phase "wine start"

if [ "$run32" = 1 ]; then
  log32=build/windows32/ctest.log
  echo "test: the 32-bit Windows tests run alongside; their output follows the 64-bit one's"
  (
    export WINEPREFIX="$prefix32" DISPLAY="$display32"
    ctest --preset windows32 >"$log32" 2>&1
  ) &
  suite32=$!
fi
rc64=0
ctest --preset windows || rc64=$?
check_server "$prefix64" "${started_server[$prefix64]}"
phase "windows tests"
if [ "$run32" = 1 ]; then
  rc32=0
  wait "$suite32" || rc32=$?
  cat "$log32"
  check_server "$prefix32" "${started_server[$prefix32]}"
  phase "windows32 tests (rest)"
  [ "$rc32" = 0 ] || { echo "test: the 32-bit Windows tests failed" >&2; exit "$rc32"; }
else
  echo "test: SKIPPED the 32-bit Windows tests (built, not run): $(cat build/probe32/why.txt)"
fi
exit "$rc64"
