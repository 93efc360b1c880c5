#!/bin/bash
# Runs a Windows program under Wine in the build's own prefix, with code page 932.
# Used as CMake's cross-compiling emulator and by the demo and test scripts.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/windows/wineprefix}"
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$here/wine-prefix.sh"
exec wine "$@"
