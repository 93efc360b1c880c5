#!/bin/bash
# A program folder that cannot be written (chattr +i, as root), under Wine: the start-up box
# and its No, the window refusing the Patrol, the apply and Ctrl+Z, the restarted program's
# box without the offer, the Yes that restarts it; the CLI refusing apply, patrol and undo
# with exit 1 while catalogue and compare work; the database and the folder unchanged.
# usage: read_only_folder_test.sh BIN_DIR PROBE_EXE WORK_DIR   (exit 77: skipped)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$1"
probe="$2"
work="$3"
run="$here/../scripts/wine-run.sh"
fail() { echo "FAIL: $*"; exit 1; }

if [ "$(id -u)" != 0 ] || ! command -v chattr >/dev/null; then
  echo "read_only_folder_test: SKIPPED (needs root and chattr to make a folder read-only)"
  exit 77
fi
chattr -R -i "$work" 2>/dev/null || true
rm -rf "$work" && mkdir -p "$work/HDTMP"
cp "$bin/CostUpdate.exe" "$bin/costupdate-cli.exe" "$bin/QUPRA.dll" "$work/"
win="Z:${work//\//\\}"
printf '1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n' > "$work/seed.csv"
printf 'title\r\n1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n1-01-0001-0001-0003,New,JIS,1,2,3,110,1\r\n' > "$work/update.costupdate"
printf 'Monthly,http://127.0.0.1:1/m.dat\r\n' > "$work/FavoriteList.txt"
"$run" "$bin/qupra-tool.exe" init "$win" >/dev/null
"$run" "$bin/qupra-tool.exe" import "$win" "$win\\seed.csv" >/dev/null
rm "$work/seed.csv"

xvfb=
cleanup() {
  chattr -i "$work" "$work/HDTMP" 2>/dev/null || true
  "$run" "$probe" close CUMainWndClass 0 >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 1' TERM INT HUP  # a test killed by its time limit lifts the flag too
chattr +i "$work" "$work/HDTMP" 2>/dev/null || true
if touch "$work/probe.tmp" 2>/dev/null; then
  rm -f "$work/probe.tmp"
  echo "read_only_folder_test: SKIPPED (chattr +i does not take effect on this file system)"
  exit 77
fi
# The folder itself and all in it; its parent holds the test's own output.
before="$(cd "$work" && find . -printf "%p %y %s %m %T@\n" | sort && md5sum qupra.db)"

cli() { (cd "$work" && "$run" "$work/costupdate-cli.exe" "$@" > "$work/../ro-out.txt" 2> "$work/../ro-err.txt"); }
# catalogue and compare read only.
cli catalogue || fail "catalogue in a read-only folder: $(cat "$work/../ro-err.txt")"
cli compare update.costupdate || fail "compare in a read-only folder: $(cat "$work/../ro-err.txt")"
got="$(tr -d '\r' < "$work/../ro-out.txt" | tail -1)"
[ "$got" = "shown 1 of 2" ] || fail "compare in a read-only folder printed: $got"
# The commands that write are refused before they start.
for command in "apply update.costupdate --all" patrol undo; do
  set +e
  # shellcheck disable=SC2086
  cli $command
  rc=$?
  set -e
  err="$(tr -d '\r' < "$work/../ro-err.txt")"
  [ "$rc" = 1 ] || fail "$command in a read-only folder exited with $rc: $err"
  case "$err" in
    "costupdate-cli: cannot write into $win\\: "*) ;;
    *) fail "$command in a read-only folder said: $err" ;;
  esac
  [ ! -s "$work/../ro-out.txt" ] || fail "$command printed: $(cat "$work/../ro-out.txt")"
done

# The window, on a display of its own unless the test runs on one.
if [ -z "${DISPLAY:-}" ]; then
  source "$here/../scripts/own-display.sh"
  own_display 341 380
fi
box="dialog:単価アップデートプログラム"
reason="このフォルダには書き込めません: $win\\"
offer="管理者として起動し直しますか？"
# Waits for the box, checks its text (with or without the offer) and answers it.
answer_box() {
  local text
  text="$("$run" "$probe" text "$box" 30000 | tr -d '\r')"
  case "$text" in *"$reason"*"更新（巡回）、データベースへの書き込み、チェックリストの編集はできません。"*) ;;
    *) fail "$3: the box said: $text" ;; esac
  case "$text" in
    *"$offer"*) [ "$1" = offer ] || fail "$3: the box offered a restart: $text" ;;
    *) [ "$1" = plain ] || fail "$3: the box did not offer a restart: $text" ;;
  esac
  "$run" "$probe" answer "$box" 1000 "$2" >/dev/null
}
wait_visible() {
  for _ in $(seq 60); do
    "$run" "$probe" wait CUMainWndClass 30000 | grep -q "visible=1" && return 0
    sleep 0.5
  done
  return 1
}
close_app() {
  "$run" "$probe" close CUMainWndClass 1000 >/dev/null
  set +e
  timeout 60 tail --pid="$1" -f /dev/null
  wait "$1"
  local rc=$?
  set -e
  [ "$rc" = 0 ] || fail "exit code after closing the window: $rc"
}

# No: the window opens with the file loaded; the Patrol, the apply and Ctrl+Z say why not.
(cd "$work" && exec "$run" "$work/CostUpdate.exe" "$win\\update.costupdate") &
app=$!
answer_box offer 7 "start"
wait_visible || fail "no main window after No"
"$run" "$probe" command CUMainWndClass 1000 2000 >/dev/null  # ON: select every item
for id in 1563 1919 1920; do
  "$run" "$probe" command CUMainWndClass 1000 "$id" >/dev/null
  answer_box plain 1 "command $id"
done
"$run" "$probe" wait CUMainWndClass 1000 | grep -q "visible=1" || fail "the window went away"
close_app "$app"

# Started again as administrator (the variable that restart sets): the box, no offer.
(cd "$work" && COSTUPDATE_RESTARTED_AS_ADMIN=1 exec "$run" "$work/CostUpdate.exe") &
app=$!
answer_box plain 1 "restarted"
wait_visible || fail "no main window after the restarted program's box"
close_app "$app"

# Yes: the same program starts again (Wine asks no consent) and this one ends at once.
(cd "$work" && exec "$run" "$work/CostUpdate.exe") &
app=$!
answer_box offer 6 "restart"
set +e
timeout 60 tail --pid="$app" -f /dev/null
wait "$app"
rc=$?
set -e
[ "$rc" = 0 ] || fail "the program that restarted itself exited with $rc"
answer_box plain 1 "the restarted program"
wait_visible || fail "no main window from the restarted program"
"$run" "$probe" close CUMainWndClass 1000 >/dev/null
# The restarted program is no child of ours: wait for its process to end (the suite's Wine
# server may stay up, so waiting for the server would wait for nothing).
for _ in $(seq 600); do pgrep -f 'CostUpdate\.exe' >/dev/null || break; sleep 0.1; done

after="$(cd "$work" && find . -printf "%p %y %s %m %T@\n" | sort && md5sum qupra.db)"
[ "$before" = "$after" ] || fail "the folder changed: $(diff <(echo "$before") <(echo "$after"))"
echo "read_only_folder_test: ok"
