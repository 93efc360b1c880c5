#!/bin/bash
# The benchmark: generates a database and update files from a fixed seed, measures loading,
# comparing, writing, memory and the grid's paint natively and under Wine, and prints a
# table (also as CSV in the bench build folder).
#
#   scripts/bench.sh [--reference REV]
#
# --reference REV builds the commit REV (with this tree's perf/ folder added) and measures it
# on its own data from the same seed, as a "before" column beside the current tree.
# The 32-bit build (build/windows32) is measured beside the 64-bit one: the 1M-item compare
# and the 100k apply through its QUPRA.dll, where this machine runs 32-bit programs.
# Environment: SEED (20240611), REPEAT (5 runs, median), BENCH_BUILD (build/bench),
# WINDOWS_BUILD (build/windows), WINDOWS32_BUILD (build/windows32), WINEPREFIX (the Windows build's own), REFERENCE_TIMEOUT
# (seconds per reference run, 600).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seed="${SEED:-20240611}"
repeat="${REPEAT:-5}"
bench="${BENCH_BUILD:-$root/build/bench}"
windows="${WINDOWS_BUILD:-$root/build/windows}"
windows32="${WINDOWS32_BUILD:-$root/build/windows32}"
ref_timeout="${REFERENCE_TIMEOUT:-600}"
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wineprefix}"
reference=""
if [ "${1:-}" = "--reference" ] && [ -n "${2:-}" ]; then
  reference="$2"
elif [ $# -gt 0 ]; then
  echo "usage: scripts/bench.sh [--reference REV]" >&2
  exit 2
fi

scripts/setup.sh
command -v /usr/bin/time >/dev/null || { echo "bench: /usr/bin/time is missing" >&2; exit 1; }

# Builds a source tree's native and Windows programs into $2 (bench/ and windows/).
build_tree() {
  local src="$1" out_native="$2" out_windows="$3"
  (cd "$src" && cmake --preset bench -B "$out_native" >/dev/null &&
    cmake --build "$out_native" -j2 --target costupdate-perf costupdate-cli view_core_bench >/dev/null &&
    cmake --preset windows -B "$out_windows" >/dev/null &&
    cmake --build "$out_windows" -j2 --target costupdate-perf costupdate-cli QUPRA >/dev/null)
}

echo "bench: building" >&2
build_tree "$root" "$bench" "$windows"
cmake --preset windows32 >/dev/null
cmake --build "$windows32" -j2 --target costupdate-perf costupdate-cli QUPRA >/dev/null
scripts/wine-prefix.sh

ms_now() { date +%s%N; }
median() { sort -n | awk '{v[NR] = $1} END {if (NR) print v[int((NR + 1) / 2)]; else print "-"}'; }
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" "$2"; }
winpath() { "$root/scripts/wine-run.sh" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
tmp="$(mktemp -d)"
# One Wine server for the whole run, as in the test command: the Wine rows then time the
# program's own process, not the server and its system processes starting anew whenever
# the native runs between them took longer than the server's 3 s linger.
source scripts/wine-env.sh
"$wineserver_cmd" -p </dev/null >/dev/null 2>&1
trap 'rm -rf "$tmp"; "$wineserver_cmd" -k >/dev/null 2>&1 || true' EXIT

# Wall time in ms of a command, its standard output in $tmp/out; "-" when it failed or ran
# longer than REFERENCE_TIMEOUT (the old code takes minutes where the new takes a second).
timed() {
  local start end
  : >"$tmp/out"
  start=$(ms_now)
  timeout "$ref_timeout" "$@" >"$tmp/out" 2>"$tmp/err" || { echo "-"; return; }
  end=$(ms_now)
  echo $(((end - start) / 1000000))
}

# One Windows apply of the 100k-item file by costupdate-perf.exe ($1) on a fresh copy of its
# database, with the caller's data, wrun and wdata; prints apply_ms, empty when it failed.
# Further arguments go to the apply (--undo).
wine_apply() {
  local exe="$1"
  shift
  rm -rf "$data/apply-run" && cp -r "$data/apply-db" "$data/apply-run"
  timed "$wrun" "$exe" apply "$(winpath "$data/apply-run")" "$wdata\\apply-100k.costupdate" \
    "$@" >/dev/null
  field apply_ms "$tmp/out"
}

# One measured tree: its programs, its data folder, its results in $tmp/results-NAME.
declare -A results
record() { results["$1|$2"]="$3"; }

measure() {
  local name="$1" native="$2" win="$3" data="$4" runs="$5"
  local perf="$native/perf/costupdate-perf" cli="$native/app/costupdate-cli"
  local wrun="$root/scripts/wine-run.sh"
  # Generated again when the seed or the generator changes.
  local stamp
  stamp="$seed $(cat "$root"/perf/scenario.* "$root"/perf/perf_main.cc | sha1sum | cut -c1-12)"
  if [ ! -f "$data/stamp" ] || [ "$(cat "$data/stamp")" != "$stamp" ]; then
    echo "bench: generating the data of $name (seed $seed)" >&2
    rm -rf "$data" && mkdir -p "$data"
    "$perf" generate "$data" "$seed"
    echo "$stamp" >"$data/stamp"
  fi
  # The program folder as installed: the programs and QUPRA.dll beside the database.
  cp "$win/bin/QUPRA.dll" "$win/bin/costupdate-cli.exe" "$win/bin/costupdate-perf.exe" "$data/db/"
  local wdata wdb
  wdata="$(winpath "$data")"
  wdb="$(winpath "$data/db")"
  "$wrun" "$data/db/costupdate-cli.exe" --help >/dev/null 2>&1 || true  # starts wineserver

  for size in 10k 100k 1m; do
    local file="$data/update-$size.costupdate" wfile="$wdata\\update-$size.costupdate"
    echo "bench: $name, $size items" >&2
    # 1. Load and sort, beside wc -l on the same file: both as whole processes, and the
    # load alone inside the process (natively and under Wine).
    local v=() p=() l=() wl=()
    for _ in $(seq "$runs"); do
      v+=("$(timed wc -l "$file")")
      p+=("$(timed "$perf" load "$file")")
      l+=("$(field load_ms "$tmp/out")")
      timed "$wrun" "$data/db/costupdate-perf.exe" load "$wfile" >/dev/null
      wl+=("$(field load_ms "$tmp/out")")
    done
    record "$name" "wc_ms_$size" "$(printf '%s\n' "${v[@]}" | median)"
    record "$name" "load_process_ms_$size" "$(printf '%s\n' "${p[@]}" | median)"
    record "$name" "load_ms_$size" "$(printf '%s\n' "${l[@]}" | median)"
    record "$name" "wine_load_ms_$size" "$(printf '%s\n' "${wl[@]}" | median)"
    record "$name" "bytes_$size" "$(stat -c %s "$file")"
    # 2. Comparison: natively against the storage code, and the CLI's compare under Wine.
    local c=() r=() e=() w=() wr=()
    for _ in $(seq "$runs"); do
      timed "$perf" compare "$data/db" "$file" >/dev/null
      c+=("$(field compare_ms "$tmp/out")")
      r+=("$(field calls_per_s "$tmp/out")")
      e+=("$(timed "$cli" --dir "$data/db" compare "$file")")
      w+=("$(timed "$wrun" "$data/db/costupdate-cli.exe" --dir "$wdb" compare "$wfile")")
      timed "$wrun" "$data/db/costupdate-perf.exe" compare "$wdb" "$wfile" >/dev/null
      wr+=("$(field calls_per_s "$tmp/out")")
      [ "${w[-1]}" = "-" ] && break  # too slow to repeat
    done
    record "$name" "compare_ms_$size" "$(printf '%s\n' "${c[@]}" | median)"
    record "$name" "calls_per_s_$size" "$(printf '%s\n' "${r[@]}" | median)"
    record "$name" "cli_compare_ms_$size" "$(printf '%s\n' "${e[@]}" | median)"
    record "$name" "wine_compare_ms_$size" "$(printf '%s\n' "${w[@]}" | median)"
    record "$name" "wine_calls_per_s_$size" "$(printf '%s\n' "${wr[@]:-}" | grep . | median)"
  done
  # 2b. The program's own share of the 1M-item compare (load, sort, change bits through an
  # in-memory library), natively, over wc -l of the same file just before it. A tree whose
  # costupdate-perf lacks in-memory shows "-".
  local own=() own_ratio=() wc_ms
  for _ in $(seq "$runs"); do
    wc_ms="$(timed wc -l "$data/update-1m.costupdate")"
    timed "$perf" in-memory "$data/db" "$data/update-1m.costupdate" >/dev/null
    own+=("$(field in_memory_ms "$tmp/out")")
    own_ratio+=("$(awk -v o="${own[-1]}" -v w="$wc_ms" \
      'BEGIN {if (o != "" && w > 0) printf "%.1f", o / w}')")
  done
  record "$name" "in_memory_ms_1m" "$(printf '%s\n' "${own[@]}" | grep . | median)"
  record "$name" "in_memory_ratio_1m" "$(printf '%s\n' "${own_ratio[@]}" | grep . | median)"

  # 3. Writing 100k selected items into 10 groups, each run on a fresh copy of its database.
  local a=() na=() u=() nu=()
  for _ in $(seq "$runs"); do
    rm -rf "$data/apply-run" && cp -r "$data/apply-db" "$data/apply-run"
    timed "$perf" apply "$data/apply-run" "$data/apply-100k.costupdate" >/dev/null
    na+=("$(field apply_ms "$tmp/out")")
    rm -rf "$data/apply-run" && cp -r "$data/apply-db" "$data/apply-run"
    if [ "$(timed "$wrun" "$data/db/costupdate-perf.exe" apply \
      "$(winpath "$data/apply-run")" "$wdata\\apply-100k.costupdate")" = "-" ]; then
      a+=("-")
      break
    fi
    a+=("$(field apply_ms "$tmp/out")")
    # The same apply with its undo record saved before the first write.
    rm -rf "$data/apply-run" && cp -r "$data/apply-db" "$data/apply-run"
    timed "$perf" apply "$data/apply-run" "$data/apply-100k.costupdate" --undo >/dev/null
    nu+=("$(field apply_ms "$tmp/out")")
    u+=("$(wine_apply "$data/db/costupdate-perf.exe" --undo)")
  done
  record "$name" "apply_ms" "$(printf '%s\n' "${na[@]}" | median)"
  record "$name" "wine_apply_ms" "$(printf '%s\n' "${a[@]}" | median)"
  record "$name" "undo_apply_ms" "$(printf '%s\n' "${nu[@]:-}" | grep . | median)"
  record "$name" "wine_undo_apply_ms" "$(printf '%s\n' "${u[@]:-}" | grep . | median)"

  # 4. Peak resident memory of the CLI's compare with the 1M-item file.
  if [ "$(timed /usr/bin/time -f %M -o "$tmp/rss" "$cli" --dir "$data/db" compare \
    "$data/update-1m.costupdate")" != "-" ]; then
    record "$name" "rss_kb" "$(tail -1 "$tmp/rss")"
  fi
  if [ "$(timed /usr/bin/time -f %M -o "$tmp/rss" "$wrun" "$data/db/costupdate-cli.exe" \
    --dir "$wdb" compare "$wdata\\update-1m.costupdate")" != "-" ]; then
    record "$name" "wine_rss_kb" "$(tail -1 "$tmp/rss")"
  fi

  # 5. One page's drawing list at the top, middle and end of 1M items: the slowest of the
  # four column and change-line settings, in the grid's benchmark (an in-memory library)
  # and through the real library with the generated names, natively and under Wine.
  "$native/view/view_core_bench" --benchmark_filter=BM_BuildGridPaint --benchmark_format=csv \
    >"$tmp/paint.csv" 2>/dev/null
  local places=(top middle end)
  for place in 0 1 2; do
    record "$name" "paint_us_$place" "$(grep "place:$place/" "$tmp/paint.csv" |
      awk -F, '{t = $3; if ($5 ~ /ms/) t *= 1000; if ($5 ~ /ns/) t /= 1000; if (t > m) m = t} END {printf "%.0f", m}')"
  done
  # 6. One find over 1M shown items where none matches, so that every item is tried: the
  # slowest of a Japanese, an ASCII and a code-like text, in the grid's benchmark.
  "$native/view/view_core_bench" --benchmark_filter=BM_FindShownItemMiss \
    --benchmark_format=csv >"$tmp/find.csv" 2>/dev/null || true
  record "$name" "find_ms" "$(grep '^"BM_FindShownItemMiss' "$tmp/find.csv" |
    awk -F, '{t = $3; if ($5 ~ /us/) t /= 1000; if ($5 ~ /ns/) t /= 1e6; if (t > m) m = t}
      END {if (NR) printf "%.0f", m; else print "-"}')"
  if [ "$(timed "$perf" paint "$data/db" "$data/update-1m.costupdate")" != "-" ]; then
    for place in "${places[@]}"; do
      record "$name" "store_paint_us_$place" "$(field "paint_us_$place" "$tmp/out")"
    done
    record "$name" "store_first_paint_us" "$(field first_paint_us "$tmp/out")"
  fi
  if [ "$(timed "$wrun" "$data/db/costupdate-perf.exe" paint "$wdb" "$wdata\\update-1m.costupdate")" != "-" ]; then
    for place in "${places[@]}"; do
      record "$name" "wine_paint_us_$place" "$(field "paint_us_$place" "$tmp/out")"
    done
    record "$name" "wine_first_paint_us" "$(field first_paint_us "$tmp/out")"
  fi
  patrol_bytes "$name" "$win" "$data"
}

# 7. A Patrol of unchanged files: the body bytes the loopback server (answering
# If-Modified-Since) sends for the second of two Patrols of the same 10 files of 4 MB by
# the Windows CLI; "-" when a Patrol fails (an old tree without one).
patrol_bytes() {
  local name="$1" win="$2" work="$3/patrol"
  rm -rf "$work" && mkdir -p "$work/root/files" "$work/dir"
  cp "$win/bin/QUPRA.dll" "$win/bin/costupdate-cli.exe" "$work/dir/"
  local i
  for i in $(seq 10); do head -c 4194304 /dev/zero | tr '\0' x >"$work/root/files/$i.dat"; done
  touch -d '1 hour ago' "$work/root/files/"*.dat  # not changed in the second of the Patrol
  echo "bench: $name, Patrol of unchanged files" >&2
  # shellcheck disable=SC2016
  if timeout "$ref_timeout" python3 tests/http_server.py --root "$work/root" \
    --rule '/files/*' conditional --sent-file "$work/sent" -- bash -c '
      for i in $(seq 10); do printf "f%s,http://127.0.0.1:%s/files/%s.dat\r\n" $i $HTTP_TEST_PORT $i; done >"$1/FavoriteList.txt"
      "$2" "$1/costupdate-cli.exe" --dir "$3" patrol && cp "$4" "$4.first" &&
        "$2" "$1/costupdate-cli.exe" --dir "$3" patrol' _ "$work/dir" "$root/scripts/wine-run.sh" \
    "$(winpath "$work/dir")" "$work/sent" >/dev/null 2>&1; then
    record "$name" patrol_unchanged_bytes $(($(cat "$work/sent") - $(cat "$work/sent.first")))
  fi
}

# The 32-bit programs on the same data: the 1M-item compare and the 100k apply through the
# 32-bit QUPRA.dll, in a program folder of their own that shares the database's files.
measure32() {
  local name="$1" data="$2" runs="$3"
  local wrun="$root/scripts/wine-run.sh" db32="$data/db32"
  if ! "$root/scripts/can-run-32.sh" >"$tmp/can32" 2>&1; then
    echo "bench: no 32-bit figures: $(cat "$tmp/can32")" >&2
    return
  fi
  rm -rf "$db32" && mkdir -p "$db32"
  local f
  for f in "$data"/db/*; do
    case "$f" in *.exe | *.dll) ;; *) ln "$f" "$db32/" ;; esac
  done
  cp "$windows32/bin/QUPRA.dll" "$windows32/bin/costupdate-cli.exe" \
    "$windows32/bin/costupdate-perf.exe" "$db32/"
  local wdata wdb32 wfile
  wdata="$(winpath "$data")"
  wdb32="$(winpath "$db32")"
  wfile="$wdata\\update-1m.costupdate"
  echo "bench: $name, 32-bit" >&2
  local w=() wr=() a=() u=()
  for _ in $(seq "$runs"); do
    w+=("$(timed "$wrun" "$db32/costupdate-cli.exe" --dir "$wdb32" compare "$wfile")")
    timed "$wrun" "$db32/costupdate-perf.exe" compare "$wdb32" "$wfile" >/dev/null
    wr+=("$(field calls_per_s "$tmp/out")")
    a+=("$(wine_apply "$db32/costupdate-perf.exe")")
    u+=("$(wine_apply "$db32/costupdate-perf.exe" --undo)")
  done
  record "$name" "wine32_undo_apply_ms" "$(printf '%s\n' "${u[@]}" | grep . | median)"
  record "$name" "wine32_compare_ms_1m" "$(printf '%s\n' "${w[@]}" | median)"
  record "$name" "wine32_calls_per_s_1m" "$(printf '%s\n' "${wr[@]}" | grep . | median)"
  record "$name" "wine32_apply_ms" "$(printf '%s\n' "${a[@]}" | grep . | median)"
  if [ "$(timed /usr/bin/time -f %M -o "$tmp/rss" "$wrun" "$db32/costupdate-cli.exe" \
    --dir "$wdb32" compare "$wfile")" != "-" ]; then
    record "$name" "wine32_rss_kb" "$(tail -1 "$tmp/rss")"
  fi
}

# Writing 1M changed items into 50 groups with the undo record, on a fresh copy of the
# database each run, natively and under Wine (64- and, where it runs, 32-bit); and the bytes
# of the undo record of an apply that changes 1% of that database (every 100th item) beside
# its bound. The data is this tree's: a reference tree's programs write into it too.
measure_big_apply() {
  local name="$1" native="$2" win="$3" win32="$4" runs="$5" data="$bench/perf-data"
  [ -d "$data/apply-1m-db" ] || return 0
  echo "bench: $name, 1M items written into 50 groups" >&2
  local wrun="$root/scripts/wine-run.sh" run="$data/apply-1m-run" bin="$tmp/bin-$name"
  local bin32="" wdata wrunpath
  mkdir -p "$bin" && cp "$win/bin/QUPRA.dll" "$win/bin/costupdate-perf.exe" "$bin/"
  if [ -n "$win32" ] && "$root/scripts/can-run-32.sh" >/dev/null 2>&1; then
    bin32="$tmp/bin32-$name"
    mkdir -p "$bin32" && cp "$win32/bin/QUPRA.dll" "$win32/bin/costupdate-perf.exe" "$bin32/"
  fi
  wdata="$(winpath "$data")"
  wrunpath="$(winpath "$run")"
  fresh() { rm -rf "$run" && cp -r "$data/apply-1m-db" "$run"; }
  local n=() w=() w32=()
  for _ in $(seq "$runs"); do
    fresh
    timed "$native/perf/costupdate-perf" apply "$run" "$data/apply-1m.costupdate" --undo >/dev/null
    n+=("$(field apply_ms "$tmp/out")")
    fresh
    timed "$wrun" "$bin/costupdate-perf.exe" apply "$wrunpath" "$wdata\\apply-1m.costupdate" \
      --undo >/dev/null
    w+=("$(field apply_ms "$tmp/out")")
    if [ -n "$bin32" ]; then
      fresh
      timed "$wrun" "$bin32/costupdate-perf.exe" apply "$wrunpath" "$wdata\\apply-1m.costupdate" \
        --undo >/dev/null
      w32+=("$(field apply_ms "$tmp/out")")
    fi
  done
  record "$name" big_apply_ms "$(printf '%s\n' "${n[@]:-}" | grep . | median)"
  record "$name" wine_big_apply_ms "$(printf '%s\n' "${w[@]:-}" | grep . | median)"
  record "$name" wine32_big_apply_ms "$(printf '%s\n' "${w32[@]:-}" | grep . | median)"
  fresh
  if [ "$(timed "$native/perf/costupdate-perf" apply "$run" "$data/apply-1pct.costupdate" \
    --undo)" != "-" ]; then
    local selected groups
    selected="$(field selected "$tmp/out")"
    groups="$(field write_group_calls "$tmp/out")"
    record "$name" undo_bytes_1pct "$(cat "$run"/Undo/*.undo | wc -c)"
    record "$name" undo_bound_1pct "$((3 * selected * 84 + 4096 * groups))"
  fi
  rm -rf "$run"
}

if [ -n "$reference" ]; then
  ref="$root/build/reference"
  echo "bench: building the reference $reference in $ref" >&2
  rm -rf "$ref/src" && mkdir -p "$ref/src"
  git archive "$reference" | tar -x -C "$ref/src"
  ln -s "$root/.cache" "$ref/src/.cache"
  if [ ! -d "$ref/src/perf" ]; then
    cp -r "$root/perf" "$ref/src/perf"
    echo "add_subdirectory(perf)" >>"$ref/src/CMakeLists.txt"
  fi
  build_tree "$ref/src" "$ref/bench" "$ref/windows"
  measure before "$ref/bench" "$ref/windows" "$ref/perf-data" 1
fi
measure after "$bench" "$windows" "$bench/perf-data" "$repeat"
measure32 after "$bench/perf-data" "$repeat"
[ -n "$reference" ] && measure_big_apply before "$ref/bench" "$ref/windows" "" 1
measure_big_apply after "$bench" "$windows" "$windows32" "$repeat"

# The table, and the same figures as CSV.
csv="$bench/perf.csv"
names=(after)
[ -n "$reference" ] && names=(before after)
get() { echo "${results[$1|$2]:--}"; }
mbps() { awk -v b="$1" -v t="$2" 'BEGIN {if (t > 0) printf "%.0f", b / 1e6 / (t / 1000); else print "-"}'; }
echo "measure,items,tree,value,unit,target" >"$csv"
row() {  # measure items unit target key...
  local measure="$1" items="$2" unit="$3" target="$4"
  shift 4
  local line
  line=$(printf '%-44s %-5s' "$measure" "$items")
  for n in "${names[@]}"; do
    local value
    value="$("$@" "$n")"
    line+=$(printf ' %12s' "$value")
    echo "$measure,$items,$n,$value,$unit,$target" >>"$csv"
  done
  printf '%s %-6s %s\n' "$line" "$unit" "$target"
}
key() { get "$2" "$1"; }
load_mbps() { mbps "$(get "$2" "bytes_$1")" "$(get "$2" "load_ms_$1")"; }
header=$(printf '%-44s %-5s' measure items)
for n in "${names[@]}"; do header+=$(printf ' %12s' "$n"); done
printf '%s %-6s %s\n' "$header" unit target
for size in 10k 100k 1m; do
  row "1. wc -l, process" "$size" ms "" key "wc_ms_$size"
  row "1. load + sort, process" "$size" ms "1m: <= 5x wc -l" key "load_process_ms_$size"
  row "1. load + sort, in process" "$size" ms "1m: <= 0.4 s" key "load_ms_$size"
  row "1. load + sort, in process" "$size" MB/s "" load_mbps "$size"
  row "1. load + sort, Wine, in process" "$size" ms "" key "wine_load_ms_$size"
done
for size in 10k 100k 1m; do
  row "2. compare, native (perf, cold)" "$size" ms "" key "compare_ms_$size"
  row "2. GetItem, native" "$size" calls/s ">= 2M" key "calls_per_s_$size"
  row "2. CLI compare, native, end to end" "$size" ms "" key "cli_compare_ms_$size"
  row "2. CLI compare, Wine, end to end" "$size" ms "1m: <= 0.35 s" key "wine_compare_ms_$size"
  row "2. GetItem, Wine" "$size" calls/s ">= 1M" key "wine_calls_per_s_$size"
done
row "2. compare in memory, native, own share" 1m ms "" key in_memory_ms_1m
row "2. compare in memory / wc -l, native" 1m x "<= 10x" key in_memory_ratio_1m
row "2. CLI compare, Wine 32-bit, end to end" 1m ms "<= 0.35 s" key wine32_compare_ms_1m
row "2. GetItem, Wine 32-bit" 1m calls/s ">= 1M" key wine32_calls_per_s_1m
row "3. apply 100k items, 10 groups, native" 100k ms "" key apply_ms
row "3. apply 100k items, 10 groups, Wine" 100k ms "<= 1 s" key wine_apply_ms
row "3. apply 100k items, 10 groups, Wine 32-bit" 100k ms "<= 1 s" key wine32_apply_ms
row "3. apply + undo record, native" 100k ms "<= 1.3x apply" key undo_apply_ms
row "3. apply + undo record, Wine" 100k ms "<= 1.3x apply" key wine_undo_apply_ms
row "3. apply + undo record, Wine 32-bit" 100k ms "<= 1.3x apply" key wine32_undo_apply_ms
row "3. 1M changed, 50 groups + undo, native" 1m ms "" key big_apply_ms
row "3. 1M changed, 50 groups + undo, Wine" 1m ms "<= 1.5 s" key wine_big_apply_ms
row "3. 1M changed, 50 groups + undo, Wine 32-bit" 1m ms "<= 1.5 s" key wine32_big_apply_ms
row "3. undo record bytes, 1% of 1M changed" 1m bytes "<= bound" key undo_bytes_1pct
row "3. bound: 3x changed bytes + 4 KB/group" 1m bytes "" key undo_bound_1pct
row "4. peak memory, CLI compare, native" 1m KB "<= 3x file" key rss_kb
row "4. peak memory, CLI compare, Wine" 1m KB "<= 3x file" key wine_rss_kb
row "4. peak memory, CLI compare, Wine 32-bit" 1m KB "<= 3x file" key wine32_rss_kb
row "5. paint list, in-memory library, top" 1m us "<= 2 ms" key paint_us_0
row "5. paint list, in-memory library, middle" 1m us "<= 2 ms" key paint_us_1
row "5. paint list, in-memory library, end" 1m us "<= 2 ms" key paint_us_2
for place in top middle end; do
  row "5. paint list, storage code, $place" 1m us "<= 2 ms" key "store_paint_us_$place"
done
for place in top middle end; do
  row "5. paint list, QUPRA.dll, Wine, $place" 1m us "<= 2 ms" key "wine_paint_us_$place"
done
row "5. first paint after load, storage code" 1m us "" key store_first_paint_us
row "5. first paint after load, QUPRA.dll" 1m us "" key wine_first_paint_us
row "6. find, no match, in-memory library" 1m ms "<= 200 ms" key find_ms
row "7. Patrol, unchanged files, body bytes, Wine" 10 bytes "0" key patrol_unchanged_bytes
echo "file sizes: 1m $(get after bytes_1m) bytes; table as CSV: $csv"
