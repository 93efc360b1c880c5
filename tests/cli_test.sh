#!/bin/bash
# costupdate-cli.exe through QUPRA.dll under Wine: a seeded database, compare and apply.
# usage: cli_test.sh BIN_DIR WORK_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$1"
work="$2"
run="$here/../scripts/wine-run.sh"
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work" && mkdir -p "$work"
cp "$bin/costupdate-cli.exe" "$bin/QUPRA.dll" "$work/"
printf '1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n1-01-0001-0001-0002,Bar D13,JIS,66000,70000,3,110,1\r\n' > "$work/seed.csv"
printf 'title\r\n1-01-0001-0001-0001,Bar D10,JIS,68000,72000,3,110,1\r\n1-01-0001-0001-0002,Bar D13,JIS,67000,71000,3,110,1\r\n1-01-0001-0001-0003,\x92\x50\x89\xbf,JIS,1,2,3,110,1\r\n' > "$work/update.costupdate"
"$run" "$bin/qupra-tool.exe" init 'Z:'"${work//\//\\}"
"$run" "$bin/qupra-tool.exe" import 'Z:'"${work//\//\\}" 'Z:'"${work//\//\\}\\seed.csv"
cli() { (cd "$work" && "$run" "$work/costupdate-cli.exe" "$@") | tr -d '\r'; }

got="$(cli --utf8 compare update.costupdate)"
want="$(printf '2\t000C\t1-01-0001-0001-0002\tBar D13\tJIS\t67000\t71000\t3\t110\t1\n3\t00FF\t1-01-0001-0001-0003\t単価\tJIS\t1\t2\t3\t110\t1\nshown 2 of 3')"
[ "$got" = "$want" ] || fail "compare printed: $got"

got="$(cli apply update.costupdate --all --overwrite-prices)"
want="$(printf '1-01-0001-0001-0002\tC00C\n1-01-0001-0001-0003\tC0FF\nwritten 2')"
[ "$got" = "$want" ] || fail "apply printed: $got"

got="$(cli compare update.costupdate)"
[ "$got" = "shown 0 of 3" ] || fail "after apply, compare printed: $got"

set +e
cli compare missing.costupdate >/dev/null 2>&1; rc1=$?
cli apply update.costupdate >/dev/null 2>&1; rc2=$?
set -e
[ "$rc1" = 1 ] || fail "a missing file gave exit code $rc1"
[ "$rc2" = 2 ] || fail "a usage error gave exit code $rc2"
echo "cli_test: ok"
