#!/bin/bash
# Exit 0 when this machine runs 32-bit Windows programs under Wine; otherwise says why in
# one line on stdout and exits 1. A tiny 32-bit program is built and run, and must answer.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
out="$wine_scripts/../build/probe32"
mkdir -p "$out"
why="$(wine32_usable)"
if [ "$why" != yes ]; then
  # Without a loader, the kernel's own answer tells a machine that never could.
  if [ ! -x "$wine32_loader" ] && ! "$wine_scripts/runs-32-bit.sh"; then
    why="this machine cannot run 32-bit programs"
  fi
  echo "$why"
  exit 1
fi
cc=i686-w64-mingw32-gcc-posix
command -v "$cc" >/dev/null || { echo "no 32-bit MinGW compiler ($cc)"; exit 1; }
printf '#include <stdio.h>\nint main(void) { printf("%%d\\n", (int)(sizeof(void*) * 8)); return 0; }\n' \
  >"$out/probe32.c"
"$cc" -o "$out/probe32.exe" "$out/probe32.c" 2>"$out/cc.log" || {
  echo "the 32-bit MinGW compiler failed: $(head -1 "$out/cc.log")"
  exit 1
}
# Into a file: a wineserver started here would keep a pipe open.
timeout 120 "$wine_scripts/wine-run.sh" "$out/probe32.exe" >"$out/run.out" 2>"$out/run.log"
said="$(tr -d '\r' <"$out/run.out")"
[ "$said" = 32 ] || {
  echo "a 32-bit program did not run under Wine: $(head -c 300 "$out/run.log" | tr '\n' ' ')"
  exit 1
}
