#!/bin/bash
# Start-up under Wine and Xvfb: a switch ends the process without a window; a file
# argument, also one that begins with a tab, shows the main window with its title, size,
# bars and grid,
# and closing it exits with 0. With OTHER_DLL (a QUPRA.dll of the other bitness, BITS 32 or
# 64): CostUpdate.exe beside it says so in its start-up message, costupdate-cli.exe on stderr.
# usage: gui_test.sh EXE_DIR PROBE_EXE [OTHER_DLL BITS WORK_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exe_dir="$1"
probe="$2"
other_dll="${3:-}"
other_bits="${4:-}"
work="${5:-}"
run="$here/../scripts/wine-run.sh"
fail() { echo "FAIL: $*"; exit 1; }
# A command that ends the script under set -e (Wine's own failure among them) is named.
trap 'rc=$?; [[ $- != *e* ]] || echo "FAIL: line $LINENO: $BASH_COMMAND ended with exit $rc" >&2' ERR

# The suite's display when it has one; otherwise one of our own, away from xvfb-run's (:99
# upwards). Wine's desktop process keeps the display it started with: then let earlier Wine
# processes of the prefix end first, so that this run's windows open on this run's Xvfb.
xvfb=
if [ -z "${DISPLAY:-}" ]; then
  source "$here/../scripts/own-display.sh"
  own_display 300 340
fi
cleanup() {
  "$run" "$probe" close CUMainWndClass 0 >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

# A switch: exit 0 at once, no window ever appears.
for switch in /x -u /I - /; do
  set +e
  timeout 60 "$run" "$exe_dir/CostUpdate.exe" "$switch"
  rc=$?
  set -e
  [ "$rc" = 0 ] || fail "CostUpdate.exe $switch exited with $rc"
done
if "$run" "$probe" wait CUMainWndClass 0 | grep -q title=; then fail "a window stayed after a switch"; fi

# The window exists from the start of its creation; it turns visible when creation is over.
wait_visible() {
  local report
  for _ in $(seq 60); do
    report="$("$run" "$probe" wait CUMainWndClass 30000)" || return 1
    case "$report" in *"visible=1"*) echo "$report" && return 0 ;; esac
    sleep 0.5
  done
  echo "$report"
  return 1
}

# A file argument (need not exist): the main window, titled, 800 x 600.
"$run" "$exe_dir/CostUpdate.exe" 'C:\no such folder\x.costupdate' &
app=$!
report="$(wait_visible)" || fail "no visible main window: $report"
echo "$report"
want="$(printf '単価アップデートプログラム' | iconv -f UTF-8 -t CP932 | od -An -tx1 | tr -d ' \n')"
case "$report" in
  *"title=$want "*) ;;
  *) fail "title is not 単価アップデートプログラム: $report" ;;
esac
case "$report" in
  *"width=800 height=600 visible=1"*) ;;
  *) fail "main window is not 800 x 600 and visible: $report" ;;
esac
# The bars and the grid are there: rebar, two tool bars, the file selector, the view.
case "$report" in
  *"view=1 rebar=1 toolbars=2 combos=1"*) ;;
  *) fail "main window lacks its bars or grid: $report" ;;
esac
"$run" "$probe" close CUMainWndClass 1000
set +e
timeout 60 tail --pid="$app" -f /dev/null
wait "$app"
rc=$?
set -e
[ "$rc" = 0 ] || fail "exit code after closing the main window was $rc"

# A tab before the argument belongs to the file name, so "<tab>/x" is no switch and the
# window opens. Wine would quote an argument that holds a tab; cmd passes its line on as it
# is, as a shortcut or another program may.
(cd "$exe_dir" && exec "$run" cmd /c "$(printf 'CostUpdate.exe \t/x')") &
app=$!
wait_visible >/dev/null || fail "a tab before /x ended the program"
"$run" "$probe" close CUMainWndClass 1000
timeout 60 tail --pid="$app" -f /dev/null
wait "$app" || true
# Beside a QUPRA.dll of the other bitness: which one it is and which ZIP to take.
if [ -n "$other_dll" ]; then
  if [ "$other_bits" = 32 ]; then own_bits=64 zip=win32; else own_bits=32 zip=win64; fi
  rm -rf "$work" && mkdir -p "$work"
  cp "$exe_dir/CostUpdate.exe" "$exe_dir/costupdate-cli.exe" "$other_dll" "$work/"
  want_dll="QUPRA.dll は $other_bits ビット版です。このプログラムは $own_bits ビット版のため、これを使えません。"
  want_zip="$other_bits ビット版の costupdate-"
  set +e
  (cd "$work" && "$run" "$work/costupdate-cli.exe" catalogue > "$work/out.txt" 2> "$work/err.txt")
  rc=$?
  set -e
  err="$(iconv -f CP932 -t UTF-8 < "$work/err.txt" | tr -d '\r')"
  [ "$rc" = 1 ] || fail "costupdate-cli beside a $other_bits-bit QUPRA.dll exited with $rc: $err"
  case "$err" in *"$want_dll"*"$want_zip"*"-$zip.zip"*) ;; *) fail "costupdate-cli said: $err" ;; esac

  "$run" "$work/CostUpdate.exe" &
  app=$!
  text="$("$run" "$probe" text "dialog:単価アップデートプログラム" 30000 | tr -d '\r')"
  "$run" "$probe" answer "dialog:単価アップデートプログラム" 1000 1 >/dev/null || true
  set +e
  timeout 60 tail --pid="$app" -f /dev/null
  wait "$app"
  rc=$?
  set -e
  case "$text" in
    *"$want_dll"*"$want_zip"*"-$zip.zip"*) ;;
    *) fail "CostUpdate.exe beside a $other_bits-bit QUPRA.dll showed: $text" ;;
  esac
  [ "$rc" = 1 ] || fail "CostUpdate.exe beside a $other_bits-bit QUPRA.dll exited with $rc"
  if "$run" "$probe" wait CUMainWndClass 0 | grep -q title=; then
    fail "a main window opened beside a $other_bits-bit QUPRA.dll"
  fi
else
  echo "gui_test: SKIPPED the message for a QUPRA.dll of the other bitness (no such DLL built)"
fi
echo "gui_test: ok"
