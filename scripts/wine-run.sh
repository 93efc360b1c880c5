#!/bin/bash
# Runs a Windows program under Wine in the build's own prefix, with code page 932.
# Used as CMake's cross-compiling emulator and by the demo and test scripts.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
"$wine_scripts/wine-prefix.sh" || {
  echo "wine-run: no usable Wine prefix at $WINEPREFIX, so '$*' did not run" >&2
  exit 125
}
# A program runs in this very process under the loader of its own bitness: a kill, a wait
# or /usr/bin/time of this one then reaches the program. Wine's own programs (cmd,
# winepath, reg) are 64-bit ones in a 64-bit prefix.
loader="$wine64_loader"
if [ -f "${1:-}" ] && [ "$(head -c 2 "$1")" = MZ ]; then
  pe="$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')"
  machine="$(od -An -tx2 -j"$((pe + 4))" -N2 "$1" | tr -d ' ')"
  if [ "$machine" = 014c ]; then
    loader="$wine32_loader"
    why="$(wine32_usable)"
    [ "$why" = yes ] || { echo "wine-run: cannot run the 32-bit program $1: $why" >&2; exit 126; }
  fi
fi
exec "$loader" "$@"
