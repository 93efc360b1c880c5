#!/bin/bash
# Creates the Wine prefix once, with IPA Gothic standing in for the Japanese UI fonts.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
export WINEPREFIX="${WINEPREFIX:-$here/../build/windows/wineprefix}"
export LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
[ -f "$WINEPREFIX/.costupdate-ready" ] && exit 0
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.costupdate-ready" ] && exit 0
wine wineboot -i >/dev/null 2>&1 || true
for font in 'ＭＳ ゴシック' 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'MS Gothic'; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
done
wineserver -w
touch "$WINEPREFIX/.costupdate-ready"
