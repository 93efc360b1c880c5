#!/bin/bash
# costupdate-cli.exe through QUPRA.dll under Wine: a seeded database, compare and apply.
# usage: cli_test.sh BIN_DIR WORK_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$1"
work="$2"
run="$here/../scripts/wine-run.sh"
fail() { echo "FAIL: $*"; exit 1; }
# A command that ends the script under set -e (Wine's own failure among them) is named.
trap 'rc=$?; [[ $- != *e* ]] || echo "FAIL: line $LINENO: $BASH_COMMAND ended with exit $rc" >&2' ERR

rm -rf "$work" && mkdir -p "$work"
cp "$bin/costupdate-cli.exe" "$bin/QUPRA.dll" "$work/"
printf '1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n1-01-0001-0001-0002,Bar D13,JIS,66000,70000,3,110,1\r\n' > "$work/seed.csv"
printf 'title\r\n1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n1-01-0001-0001-0002,Bar D13,JIS,67000,71000,3,110,1\r\n1-01-0001-0001-0003,\x92\x50\x89\xbf,JIS,1,2,3,110,1\r\n' > "$work/update.costupdate"
"$run" "$bin/qupra-tool.exe" init 'Z:'"${work//\//\\}"
"$run" "$bin/qupra-tool.exe" import 'Z:'"${work//\//\\}" 'Z:'"${work//\//\\}\\seed.csv"
cli() { (cd "$work" && "$run" "$work/costupdate-cli.exe" "$@") | tr -d '\r'; }

got="$(cli --utf8 compare update.costupdate)"
want_compare="$(printf '2\t000C\t1-01-0001-0001-0002\tBar D13\tJIS\t67000\t71000\t3\t110\t1\n3\t00FF\t1-01-0001-0001-0003\t単価\tJIS\t1\t2\t3\t110\t1\nshown 2 of 3')"
[ "$got" = "$want_compare" ] || fail "compare printed: $got"

got="$(cli apply update.costupdate --all --overwrite-prices)"
want="$(printf '1-01-0001-0001-0002\tC00C\n1-01-0001-0001-0003\tC0FF\nwritten 2')"
[ "$got" = "$want" ] || fail "apply printed: $got"

got="$(cli compare update.costupdate)"
[ "$got" = "shown 0 of 3" ] || fail "after apply, compare printed: $got"

# The apply is taken back: the same two items are shown again, and only once.
got="$(cli undo --list | cut -f2,3)"
[ "$got" = "$(printf '1 groups\t2 items\n1 undo records')" ] || fail "undo --list printed: $got"
got="$(cli undo)"
case "$got" in
  "$(printf '1-01\trestored\nundone: the apply of ')"*", 1 groups restored, 0 left alone") ;;
  *) fail "undo printed: $got" ;;
esac
got="$(cli --utf8 compare update.costupdate)"
[ "$got" = "$want_compare" ] || fail "after undo, compare printed: $got"
got="$(cli undo)"
[ "$got" = "nothing to undo" ] || fail "a second undo printed: $got"

set +e
cli compare missing.costupdate >/dev/null 2>"$work/err1.txt"; rc1=$?
cli apply update.costupdate >/dev/null 2>"$work/err2.txt"; rc2=$?
cli undo --all >/dev/null 2>"$work/err3.txt"; rc3=$?
set -e
[ "$rc1" = 1 ] || fail "a missing file gave exit code $rc1: $(cat "$work/err1.txt")"
[ "$rc2" = 2 ] || fail "a usage error gave exit code $rc2: $(cat "$work/err2.txt")"
[ "$rc3" = 2 ] || fail "undo --all gave exit code $rc3: $(cat "$work/err3.txt")"
echo "cli_test: ok"
