#!/bin/bash
# Folders named with characters whose second byte in code page 932 is 0x5C ('\'), under
# Wine: the CLI with --dir with and without a separator after the name, the CLI and the
# window finding their folder from their own path, and the window's start file argument.
# usage: folder_names_test.sh BIN_DIR PROBE_EXE WORK_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$1"
probe="$2"
work="$3"
run="$here/../scripts/wine-run.sh"
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work"

xvfb=
cleanup() {
  "$run" "$probe" close CUMainWndClass 0 >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  source "$here/../scripts/own-display.sh"
  own_display 381 420
fi

# Runs the CLI from the work folder, not the program folder; output in out.txt and err.txt.
cli() {
  local exe="$1"
  shift
  set +e
  (cd "$work" && "$run" "$exe" "$@" > "$work/out.txt" 2> "$work/err.txt")
  rc=$?
  set -e
  out="$(iconv -f CP932 -t UTF-8 < "$work/out.txt" | tr -d '\r')"
  err="$(iconv -f CP932 -t UTF-8 < "$work/err.txt" | tr -d '\r')"
}
wait_visible() {
  for _ in $(seq 60); do
    "$run" "$probe" wait CUMainWndClass 30000 | grep -q "visible=1" && return 0
    sleep 0.5
  done
  return 1
}

for c in 表 ソ 能 予 十 申 構 貼 暴 欺; do
  dir="$work/単価$c"
  win="Z:${dir//\//\\}"
  mkdir -p "$dir"
  cp "$bin/CostUpdate.exe" "$bin/costupdate-cli.exe" "$bin/QUPRA.dll" "$dir/"
  printf '1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n' > "$work/seed.csv"
  printf 'title\r\n1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n1-01-0001-0001-0003,New,JIS,1,2,3,110,1\r\n' > "$dir/update.costupdate"
  "$run" "$bin/qupra-tool.exe" init "$win" >/dev/null
  "$run" "$bin/qupra-tool.exe" import "$win" "Z:${work//\//\\}\\seed.csv" >/dev/null

  for given in "$win" "$win\\"; do
    cli "$bin/costupdate-cli.exe" --dir "$given" patrol
    [ "$rc" = 1 ] && [ "$err" = "costupdate-cli: no check list at $win\\FavoriteList.txt" ] ||
      fail "--dir $given patrol without a list: exit $rc, $err"
    cli "$bin/costupdate-cli.exe" --dir "$given" catalogue
    [ "$rc" = 0 ] || fail "--dir $given catalogue: exit $rc, $err"
    cli "$bin/costupdate-cli.exe" --dir "$given" compare "$win\\update.costupdate"
    [ "$rc" = 0 ] && [ "$(echo "$out" | tail -1)" = "shown 1 of 2" ] ||
      fail "--dir $given compare: exit $rc, $out $err"
  done

  # Without --dir: the folder of the program's own path.
  printf 'Monthly,http://127.0.0.1:1/m.dat\r\n' > "$dir/FavoriteList.txt"
  cli "$dir/costupdate-cli.exe" catalogue
  [ "$rc" = 0 ] && [ "$out" = "*1	  Monthly - 	最終更新日 更新ファイルがありません。" ] ||
    fail "$dir/costupdate-cli.exe catalogue: exit $rc, $out $err"

  # The window from its own folder, with the update file as its argument: every item
  # selected (ON) and written, then seen by the CLI as written.
  (cd "$work" && exec "$run" "$dir/CostUpdate.exe" "$win\\update.costupdate") &
  app=$!
  wait_visible || fail "$dir/CostUpdate.exe: no main window"
  "$run" "$probe" command CUMainWndClass 1000 2000 >/dev/null
  "$run" "$probe" command CUMainWndClass 1000 1919 >/dev/null
  "$run" "$probe" close CUMainWndClass 1000 >/dev/null
  set +e
  timeout 60 tail --pid="$app" -f /dev/null
  wait "$app"
  rc=$?
  set -e
  [ "$rc" = 0 ] || fail "$dir/CostUpdate.exe exited with $rc"
  cli "$bin/costupdate-cli.exe" --dir "$win" compare "$win\\update.costupdate"
  [ "$(echo "$out" | tail -1)" = "shown 0 of 2" ] || fail "after the window's apply: $out $err"
  cli "$bin/costupdate-cli.exe" --dir "$win\\" undo
  [ "$rc" = 0 ] && [ "$(echo "$out" | head -1)" = "$(printf '1-01\trestored')" ] ||
    fail "--dir $win\\ undo: exit $rc, $out $err"
  echo "単価$c: ok"
done
echo "folder_names_test: ok"
