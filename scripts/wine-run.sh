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
# A program runs in this very process under the loader of its own bitness. /usr/bin/wine
# takes the 32-bit loader once wine32 is installed, which starts a 64-bit program as another
# process: a kill, a wait or /usr/bin/time of this one would then miss the program.
loader=wine
if [ -f "${1:-}" ] && [ "$(head -c 2 "$1")" = MZ ]; then
  pe="$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')"
  machine="$(od -An -tx2 -j"$((pe + 4))" -N2 "$1" | tr -d ' ')"
  if [ "$machine" = 8664 ] && [ -x /usr/lib/wine/wine64 ]; then
    loader=/usr/lib/wine/wine64
  elif [ "$machine" = 014c ] && [ -x /usr/lib/wine/wine ]; then
    loader=/usr/lib/wine/wine
  fi
fi
exec "$loader" "$@"
