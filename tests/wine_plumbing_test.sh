#!/bin/bash
# The test command's Wine plumbing on a machine that cannot run 32-bit programs, simulated:
# the 32-bit loader is a stub that fails as such a machine's does, and so are the plain
# wine, wineboot and winepath commands, which hand every call to that loader once wine32 is
# installed. A scratch prefix must still be made, a 64-bit program must run in it with code
# page 932, Wine's own programs must run, and the 32-bit probe must say why it cannot.
# usage: wine_plumbing_test.sh WORK_DIR      (exit 77: skipped, no 64-bit Wine or MinGW)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
scripts="$here/../scripts"
work="$1"
fail() { echo "FAIL: $*"; exit 1; }
[ -x /usr/lib/wine/wine64 ] || { echo "SKIPPED: no 64-bit Wine (run scripts/setup.sh)"; exit 77; }
command -v x86_64-w64-mingw32-gcc-posix >/dev/null || { echo "SKIPPED: no MinGW"; exit 77; }

rm -rf "$work" && mkdir -p "$work/bin"
export WINEPREFIX="$work/prefix"
cleanup() { /usr/lib/wine/wineserver64 -k 2>/dev/null || true; }
trap cleanup EXIT
cat >"$work/wine32-stub" <<'STUB'
#!/bin/sh
echo "$0: cannot execute binary file: Exec format error" >&2
exit 126
STUB
chmod +x "$work/wine32-stub"
for name in wine wineboot winepath; do
  printf '#!/bin/sh\nexec "%s" "$@"\n' "$work/wine32-stub" >"$work/bin/$name"
  chmod +x "$work/bin/$name"
done
export PATH="$work/bin:$PATH" COSTUPDATE_WINE32="$work/wine32-stub"

"$scripts/wine-prefix.sh" 2>"$work/prefix.err" || fail "no prefix was made: $(cat "$work/prefix.err")"
marker="$(cat "$WINEPREFIX/.costupdate-ready")"
case "$marker" in
  *"wine32=this machine cannot run 32-bit programs") ;;
  *) fail "the prefix's marker records what is installed, not what runs: $marker" ;;
esac

printf '#include <stdio.h>\n#include <windows.h>\nint main(void) { printf("%%d %%u\\n", (int)(sizeof(void*) * 8), GetACP()); return 3; }\n' \
  >"$work/probe64.c"
x86_64-w64-mingw32-gcc-posix -o "$work/probe64.exe" "$work/probe64.c" || fail "MinGW failed"
"$scripts/wine-run.sh" "$work/probe64.exe" >"$work/out.txt" 2>"$work/err.txt"
rc=$?
said="$(tr -d '\r' <"$work/out.txt")"
[ "$said" = "64 932" ] && [ "$rc" = 3 ] ||
  fail "the 64-bit program said '$said' with exit $rc: $(cat "$work/err.txt")"

# Wine's own programs, as the demo and the start-up test call them.
"$scripts/wine-run.sh" winepath -w "$work" >"$work/out.txt" 2>"$work/err.txt" ||
  fail "winepath failed: $(cat "$work/err.txt")"
[ "$(tr -d '\r' <"$work/out.txt")" = "Z:${work//\//\\}" ] || fail "winepath said $(cat "$work/out.txt")"
"$scripts/wine-run.sh" cmd /c echo cmd-ran >"$work/out.txt" 2>"$work/err.txt" ||
  fail "cmd failed: $(cat "$work/err.txt")"
grep -q cmd-ran "$work/out.txt" || fail "cmd said $(cat "$work/out.txt")"

# The probe: one plain line and exit 1, whether the stub is installed or no loader is.
for loader in "$work/wine32-stub" "$work/no-such-loader"; do
  why="$(COSTUPDATE_WINE32="$loader" "$scripts/can-run-32.sh")"
  rc=$?
  want="this machine cannot run 32-bit programs"
  if [ ! -e "$loader" ] && "$scripts/runs-32-bit.sh"; then
    want="32-bit Wine (wine32:i386) is not installed"
  fi
  [ "$rc" = 1 ] && [ "$why" = "$want" ] || fail "can-run-32.sh with $loader said '$why' (exit $rc)"
done

# A 32-bit program is refused in words, not with the shell's exec error.
if command -v i686-w64-mingw32-gcc-posix >/dev/null; then
  i686-w64-mingw32-gcc-posix -o "$work/probe32.exe" "$work/probe64.c" || fail "MinGW i686 failed"
  "$scripts/wine-run.sh" "$work/probe32.exe" >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
  [ "$rc" = 126 ] && grep -q "cannot run the 32-bit program .*: this machine cannot run 32-bit programs" "$work/err.txt" ||
    fail "a 32-bit program gave exit $rc: $(cat "$work/err.txt")"
fi
echo "wine_plumbing_test: ok"
