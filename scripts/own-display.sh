# Sourced: own_display FIRST LAST starts an Xvfb on the first free display number of the
# range, exports DISPLAY and sets xvfb to its pid. Wine's desktop process keeps the display
# it started with, so earlier Wine processes of the prefix are let end first and this run's
# windows open on this Xvfb.
own_display() {
  local n here
  here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
  WINEPREFIX="${WINEPREFIX:-$here/../build/windows/wineprefix}" \
    timeout 60 "${wineserver_cmd:-/usr/lib/wine/wineserver64}" -w || true
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}
