#!/bin/bash
# Creates the Wine prefix once, with IPA Gothic standing in for the Japanese UI fonts.
# A prefix made while the 32-bit loader could not start lacks its 32-bit half, so the
# marker records which loaders were usable when it was made (and the version of what this
# script sets), and a change makes it anew.
# Prefix and registry are made by the 64-bit loader, which every machine can run.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
marker="$WINEPREFIX/.costupdate-ready"
made_by() {
  local v
  v="$("$wine64_loader" --version 2>/dev/null)" || v=none
  echo "recipe=2 wine64=$v wine32=$(wine32_usable)"
}
ready() { [ -f "$marker" ] && [ "$(cat "$marker")" = "$(made_by)" ]; }
ready && exit 0
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
ready && exit 0
fail() { echo "wine-prefix: $*" >&2; exit 1; }
[ -x "$wine64_loader" ] || fail "64-bit Wine is missing ($wine64_loader); run scripts/setup.sh"
if [ -e "$WINEPREFIX/system.reg" ]; then
  echo "wine-prefix: $WINEPREFIX was made by another Wine or recipe ($(cat "$marker" 2>/dev/null || echo unknown)); making it anew" >&2
  "$wineserver_cmd" -k 2>/dev/null || true
  find "$WINEPREFIX" -mindepth 1 -delete
fi
log="$WINEPREFIX.log"
"$wine64_loader" wineboot -i >"$log" 2>&1 || true
# The registry reaches its files when the server ends.
"$wineserver_cmd" -w
[ -e "$WINEPREFIX/system.reg" ] ||
  fail "'$wine64_loader wineboot -i' made no prefix in $WINEPREFIX: $(head -c 300 "$log" | tr '\n' ' ')"
reg_add() {
  "$wine64_loader" reg add "$@" /f >"$log" 2>&1 ||
    fail "'$wine64_loader reg add $*' failed: $(head -c 300 "$log" | tr '\n' ' ')"
}
for font in 'ＭＳ ゴシック' 'MS UI Gothic' 'ＭＳ Ｐゴシック' 'MS Gothic'; do
  reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /t REG_SZ /d IPAGothic
done
"$wineserver_cmd" -w
made_by > "$marker"
