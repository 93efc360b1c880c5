#!/bin/bash
# Builds the Windows program, lays out a demo ProgramDir and runs the program on it under
# Wine, with the check list's update files served on 127.0.0.1:8642 so that 更新 fetches
# them. Without a DISPLAY it runs on its own Xvfb, saves screenshots, runs a Patrol and
# closes. With --32 it does the same with the 32-bit build, in build/windows32/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset=windows
if [ "${1:-}" = --32 ]; then
  preset=windows32
elif [ $# -gt 0 ]; then
  echo "usage: scripts/demo.sh [--32]" >&2
  exit 2
fi
scripts/setup.sh
mkdir -p "$root/build/probe32"
if [ "$preset" = windows32 ] && ! scripts/can-run-32.sh >"$root/build/probe32/why.txt"; then
  echo "demo: the 32-bit build cannot run here: $(cat "$root/build/probe32/why.txt")"
  exit 1
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2 --target CostUpdate QUPRA qupra-tool costupdate-cli window_probe
run="$root/scripts/wine-run.sh"
out="$root/build/$preset"
bin="$out/bin"
demo="$out/demo"
data="$root/scripts/demo"

# The demo's texts are kept in UTF-8; the program reads code page 932 with CR LF lines.
to_cp932() { iconv -f UTF-8 -t CP932 "$1" | sed 's/$/\r/' > "$2"; }

rm -rf "$demo"
mkdir -p "$demo/HDTMP"
cp "$bin/CostUpdate.exe" "$bin/QUPRA.dll" "$bin/costupdate-cli.exe" "$bin/help.html" "$root/README.md" "$demo/"
to_cp932 "$data/FavoriteList.txt" "$demo/FavoriteList.txt"
to_cp932 "$data/sample.costupdate" "$demo/sample.costupdate"
# The first check-list address already has a cache file, as after a Patrol.
cp "$demo/sample.costupdate" "$demo/HDTMP/127.0.0.18642_costupdate_monthly.dat.costupdate"
# The maker's server, on loopback: the monthly file as cached, the quarterly one new.
www="$out/demo-www"
rm -rf "$www" && mkdir -p "$www/costupdate"
cp "$demo/sample.costupdate" "$www/costupdate/monthly.dat"
to_cp932 "$data/quarterly.costupdate" "$www/costupdate/quarterly.dat"
to_cp932 "$data/annual.costupdate" "$www/costupdate/annual.dat"
# The candidate list that the editor's 一覧を更新する fetches from the same server.
mkdir -p "$www/newdownload"
to_cp932 "$data/BaseURLList.csv" "$www/newdownload/BaseURLList.csv"
export COSTUPDATE_SERVER=http://127.0.0.1:8642
# The quarterly file comes slowly, so that the window can be seen during a Patrol. The
# same files are served over https too, with a test CA of the demo's own (--tls).
tls="$out/demo-tls"
rm -rf "$tls"
python3 "$root/tests/http_server.py" --root "$www" --port 8642 --port-file "$www/.port" \
  --tls "$tls" --rule /costupdate/quarterly.dat delay=4000 &
server=$!
xvfb=
cleanup() {
  kill "$server" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 300); do
  [ -f "$www/.port" ] && [ -f "$tls/ports" ] && break
  kill -0 "$server" 2>/dev/null || { echo "demo: cannot serve on 127.0.0.1:8642 (in use?)"; exit 1; }
  sleep 0.1
done

# Windows left to a window manager, as on a desktop (a test run that was cut off may have
# left them to Wine, which then draws their captions itself).
"$run" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
# Windows programs get Windows paths.
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
wdemo="$(winpath "$demo")"
# Two more addresses over https: the monthly file from a server whose certificate the
# prefix trusts (its CA is added to the root store), and one whose certificate expired,
# which the Patrol's message box names.
. "$tls/ports"
"$run" "$bin/window_probe.exe" trust-ca "$(winpath "$tls/ca.der")"
printf '%s\n' "設備資材 月次単価（https）,https://127.0.0.1:$HTTPS_TEST_PORT/costupdate/monthly.dat" \
  "旧サーバー 単価,https://127.0.0.1:$HTTPS_EXPIRED_PORT/costupdate/monthly.dat" > "$out/demo-https.txt"
to_cp932 "$out/demo-https.txt" "$out/demo-https.cp932" && cat "$out/demo-https.cp932" >> "$demo/FavoriteList.txt"
rm -f "$out/demo-https.txt" "$out/demo-https.cp932"
tmp="$demo/seed"
mkdir -p "$tmp"
tool() { "$run" "$bin/qupra-tool.exe" "$@"; }
tool init "$wdemo"
to_cp932 "$data/db-items.csv" "$tmp/items.csv"
tool import "$wdemo" "$wdemo\\seed\\items.csv"
for kind in large middle small unit supplier; do
  to_cp932 "$data/names-$kind.csv" "$tmp/$kind.csv"
  tool names "$wdemo" "$kind" "$wdemo\\seed\\$kind.csv"
done
rm -rf "$tmp"

echo "demo: ProgramDir is $demo"
"$run" "$demo/costupdate-cli.exe" --utf8 catalogue
"$run" "$demo/costupdate-cli.exe" --utf8 compare "$wdemo\\sample.costupdate" | tail -1

echo "demo: update files served from http://127.0.0.1:8642/costupdate/: press 更新 to fetch them"
if [ -n "${DISPLAY:-}" ]; then
  "$run" "$demo/CostUpdate.exe" "$wdemo\\sample.costupdate"
  exit 0
fi

# A display of our own, away from xvfb-run's (:99 upwards).
source "$root/scripts/own-display.sh"
own_display 300 340
"$run" "$demo/CostUpdate.exe" "$wdemo\\sample.costupdate" &
app=$!
"$run" "$bin/window_probe.exe" wait CUMainWndClass 60000
sleep 2  # let it paint
shot="$out/demo-screenshot.png"
import -window root "$shot"
probe() { "$run" "$bin/window_probe.exe" "$@" >/dev/null; }
# Undo: every item selected (ON/OFF, 2000) and written (the red arrow, 1919), then Ctrl+Z
# typed into the window and its question answered Yes: the window is as before the write.
probe command CUMainWndClass 1000 2000
probe command CUMainWndClass 1000 1919
sleep 1
import -window root "$out/demo-applied.png"
main="$(xdotool search --name "$(printf '単価アップデートプログラム')" | head -1)"
xdotool windowfocus --sync "$main" key ctrl+z
sleep 1
probe answer "dialog:元に戻す" 30000 6
# The record goes when the undo is done; the window repaints after that.
for _ in $(seq 100); do ls "$demo/Undo/"*.undo >/dev/null 2>&1 || break; sleep 0.2; done
sleep 2
import -window root "$out/demo-undone.png"
if compare -metric AE "$shot" "$out/demo-undone.png" /dev/null 2>/dev/null; then
  echo "demo: after the apply and Ctrl+Z the window is exactly as before the apply"
else
  echo "demo: after the apply and Ctrl+Z the window differs from before the apply (see demo-undone.png)"
  "$run" "$demo/costupdate-cli.exe" --utf8 undo --list
fi
# The two display options, each on its own: 変更表示 (20002) with the new items selected
# (New, 2001), then コード/項目 (20000).
probe command CUMainWndClass 1000 2001
probe press CUMainWndClass 1000 20002
sleep 1
import -window root "$out/demo-show-changes.png"
probe press CUMainWndClass 1000 20002
probe press CUMainWndClass 1000 20000
sleep 1
import -window root "$out/demo-item-names.png"
# Ctrl+F: the find box with a text typed in, then Enter (every row fits: nothing scrolls).
xdotool windowfocus --sync "$main" key ctrl+f
probe wait "dialog:検索" 30000
xdotool type --delay 50 "sd345"
sleep 1
import -window root "$out/demo-find.png"
xdotool key Return
for _ in $(seq 50); do xdotool search --name "^$(printf '検索')\$" >/dev/null || break; sleep 0.2; done
# 更新 (1563): the Patrol fetches both addresses; the quarterly file is new in the cache.
# It comes slowly: the window meanwhile, painted, with the wait cursor over the grid (scrot
# draws the pointer, import does not).
xdotool mousemove 400 300
probe command CUMainWndClass 1000 1563
sleep 1.5
scrot --overwrite --pointer "$out/demo-patrolling.png"
# Waits up to a minute for a cache file; without it the demo closes the program and fails.
wait_cached() {
  for _ in $(seq 300); do [ -f "$demo/HDTMP/$1" ] && return 0; sleep 0.2; done
  "$run" "$bin/window_probe.exe" close CUMainWndClass 1000 || true
  echo "demo: $2"
  exit 1
}
wait_cached 127.0.0.18642_costupdate_quarterly.dat.costupdate "the Patrol did not fetch the quarterly file"
# The expired certificate's address failed: the box after the Patrol names it.
box="dialog:単価アップデートプログラム"
"$run" "$bin/window_probe.exe" text "$box" 30000 || true
sleep 1
import -window root "$out/demo-patrol-failed.png"
probe answer "$box" 10000 1
echo "demo: after the Patrol"
"$run" "$demo/costupdate-cli.exe" --utf8 catalogue
# 編集 (7200): refresh the candidate list, copy its third address (the annual file) into
# the check list, OK, and Yes to patrol at once.
editor="dialog:巡回チェックリストの編集"
probe command CUMainWndClass 1000 7200
probe click "$editor" 30000 204
probe answer "dialog:一覧を更新" 60000 1
probe pick "$editor" 10000 200 2
probe click "$editor" 10000 201
sleep 1
import -window root "$out/demo-editor.png"
probe click "$editor" 10000 1
probe answer "dialog:巡回" 30000 6
wait_cached 127.0.0.18642_costupdate_annual.dat.costupdate \
  "the address copied from the candidate list was not patrolled"
probe answer "$box" 30000 1
sleep 1
import -window root "$out/demo-after-editor.png"
echo "demo: after the editor added the annual address and patrolled"
"$run" "$demo/costupdate-cli.exe" --utf8 catalogue
"$run" "$bin/window_probe.exe" close CUMainWndClass 1000
wait "$app" || true
WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}" timeout 30 /usr/lib/wine/wineserver64 -w || true
echo "demo: screenshots saved to $shot and, beside it, demo-show-changes.png, demo-item-names.png,"
echo "demo: demo-find.png, demo-patrolling.png (during a slow Patrol), demo-patrol-failed.png"
echo "demo: (the box after it, naming the address whose certificate expired),"
echo "demo: demo-editor.png and demo-after-editor.png"
