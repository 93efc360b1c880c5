#!/bin/bash
# Builds the libFuzzer targets (clang, every library instrumented) and runs them from
# generated seeds, as many at a time as there are cores (FUZZ_JOBS); exits 1 when a target
# finds a fault or is interrupted.
#
# usage: scripts/fuzz.sh [--quick | --long | --runs N | --time SECONDS] [TARGET...]
#   --quick       15 s per target with -seed=1 (the default; what scripts/test.sh runs)
#   --long        10,000,000 executions per target
#   --runs N      N executions per target
#   --time S      S seconds per target
# Corpora grow in build/fuzz/corpus/TARGET, logs go to build/fuzz/logs/TARGET-MODE.log
# (MODE quick, long, runs or time; a line per run in summary.log), and a failing input is
# kept as build/fuzz/findings/TARGET-crash-... (or -timeout-, -oom-, -leak-).
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=15 -seed=1)
mode=quick
case "${1:-}" in
  --quick) shift ;;
  --long) limit=(-runs=10000000); mode=long; shift ;;
  --runs) limit=(-runs="$2"); mode=runs; shift 2 ;;
  --time) limit=(-max_total_time="$2"); mode=time; shift 2 ;;
  -*) sed -n '2,13p' "$0"; exit 2 ;;
esac

# Each target, where it is built and its own options. The download target's memory grows by
# ~200 bytes a run (ASan's records of its ended threads, it seems): past libFuzzer's default
# 2 GB limit in a long run.
declare -A dir=([update_file_fuzz]=data [url_list_fuzz]=checklist [cache_path_fuzz]=data
  [http_download_task_fuzz]=net [is_outdated_fuzz]=checklist [undo_file_fuzz]=data)
declare -A options=([update_file_fuzz]="-max_len=1024" [url_list_fuzz]="-max_len=4096"
  [cache_path_fuzz]="-max_len=1024" [is_outdated_fuzz]="-max_len=64"
  [http_download_task_fuzz]="-max_len=512 -malloc_limit_mb=64 -rss_limit_mb=4096"
  [undo_file_fuzz]="-max_len=2048")
all=(update_file_fuzz url_list_fuzz cache_path_fuzz is_outdated_fuzz http_download_task_fuzz
  undo_file_fuzz)
targets=("${all[@]}")
[ $# -eq 0 ] || targets=("$@")
for t in "${targets[@]}"; do
  [ -n "${dir[$t]:-}" ] || { echo "fuzz: no target $t (${all[*]})"; exit 2; }
done

scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]}"
out=build/fuzz
python3 scripts/fuzz-seeds.py "$out/seeds"
mkdir -p "$out/logs" "$out/findings"

# One target; its status (ok, interrupted, FAILED) goes into build/fuzz/logs/TARGET.status.
run_target() {
  local t="$1" log="$out/logs/$1-$mode.log" status
  mkdir -p "$out/corpus/$t"
  echo "fuzz: $t ${limit[*]} (log $log)"
  # A new input lands in the corpus (the first folder); the seeds are only read.
  # shellcheck disable=SC2086
  if "$out/${dir[$t]}/$t" "${limit[@]}" ${options[$t]} -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$out/findings/$t-" "$out/corpus/$t" "$out/seeds/$t" >"$log" 2>&1; then
    status=ok
  elif grep -q 'libFuzzer: run interrupted' "$log"; then
    status=interrupted  # a signal from outside, not a finding
  else
    status=FAILED
  fi
  local runs counters last files
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  counters=$(sed -n 's/^INFO: Loaded 1 modules *(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  files=$(find "$out/corpus/$t" -type f | wc -l)
  echo "fuzz: $t $status: ${runs:-?} runs, ${last:-no coverage line}, corpus $files files," \
    "${counters:-?} counters in the linked code" | tee -a "$out/logs/summary.log"
  [ "$status" != FAILED ] || tail -n 40 "$log"
  echo "$status" >"$out/logs/$t.status"
}

# Each target runs on one core: two at a time on the machine's two cores.
jobs_max="${FUZZ_JOBS:-$(nproc)}"
for t in "${targets[@]}"; do
  rm -f "$out/logs/$t.status"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do wait -n || true; done
  run_target "$t" &
done
wait
failed=()
interrupted=()
for t in "${targets[@]}"; do
  case "$(cat "$out/logs/$t.status" 2>/dev/null || echo FAILED)" in
    ok) ;;
    interrupted) interrupted+=("$t") ;;
    *) failed+=("$t") ;;
  esac
done
[ ${#interrupted[@]} -eq 0 ] || echo "fuzz: interrupted before the end: ${interrupted[*]}"
[ ${#failed[@]} -eq 0 ] || echo "fuzz: findings in ${failed[*]} (inputs in $out/findings/)"
[ ${#failed[@]} -eq 0 ] && [ ${#interrupted[@]} -eq 0 ]
