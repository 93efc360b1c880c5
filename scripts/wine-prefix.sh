#!/bin/bash
# Creates the Wine prefix once, with IPA Gothic standing in for the Japanese UI fonts.
# A prefix made before 32-bit Wine was installed (or after it was removed) no longer starts
# programs, so the marker records which Wine made it and a change makes the prefix anew.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/windows/wineprefix}"
export LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
marker="$WINEPREFIX/.costupdate-ready"
made_by="wine32=$([ -x /usr/lib/wine/wine ] && echo yes || echo no)"
ready() { [ -f "$marker" ] && [ "$(cat "$marker")" = "$made_by" ]; }
ready && exit 0
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
ready && exit 0
if [ -e "$WINEPREFIX/system.reg" ]; then
  echo "wine-prefix: $WINEPREFIX was made by another Wine ($(cat "$marker" 2>/dev/null || echo unknown)); making it anew" >&2
  wineserver -k 2>/dev/null || true
  find "$WINEPREFIX" -mindepth 1 -delete
fi
wine wineboot -i >/dev/null 2>&1 || true
for font in 'ＭＳ ゴシック' 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'MS Gothic'; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
done
wineserver -w
echo "$made_by" > "$marker"
