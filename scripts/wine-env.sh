# Sourced by the scripts that run Windows programs: the build's prefix, code page 932 and
# the Wine programs to call, each named by path so that /usr/bin/wine never chooses one.
# Once wine32 is installed, /usr/bin/wine, wineboot and winepath hand every call to the
# 32-bit loader, which on some machines cannot even start ("Exec format error").
# COSTUPDATE_WINE32 and COSTUPDATE_WINE64 replace a loader's path (the plumbing self-test
# points the 32-bit one at a stub that fails like that).
wine_scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$wine_scripts/../build/windows/wineprefix}"
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine64_loader="${COSTUPDATE_WINE64:-/usr/lib/wine/wine64}"
wine32_loader="${COSTUPDATE_WINE32:-/usr/lib/wine/wine}"
# The server itself, not Debian's wrapper (which adds -p0 to every call).
wineserver_cmd=/usr/lib/wine/wineserver64
[ -x "$wineserver_cmd" ] || wineserver_cmd=wineserver

# Whether the 32-bit loader starts here: "yes", or why not in a few words.
wine32_usable() {
  [ -x "$wine32_loader" ] || { echo "32-bit Wine (wine32:i386) is not installed"; return; }
  local said rc=0
  said="$("$wine32_loader" --version 2>&1)" || rc=$?
  if [ "$rc" = 0 ]; then
    echo yes
  elif [ "$rc" = 126 ] || [[ "$said" == *"Exec format error"* ]] || [[ "$said" == *実行形式エラー* ]]; then
    echo "this machine cannot run 32-bit programs"
  else
    echo "32-bit Wine does not start ($wine32_loader --version: exit $rc, $(printf '%s' "$said" | head -c 200 | tr '\n' ' '))"
  fi
}
