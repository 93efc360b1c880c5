#!/bin/bash
# Line and branch coverage of the portable core by its native tests, one line per folder
# (gcovr, from Debian's packages). Not part of scripts/test.sh: it reports, it does not judge.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j2
find build/coverage -name '*.gcda' -delete
ctest --preset coverage >/dev/null
# gcovr replaces its output file, so it gets one of its own (never a device such as /dev/null).
report="$(mktemp)"
trap 'rm -f "$report"' EXIT
printf '%-10s %8s %8s\n' folder lines branches
for folder in app checklist data net qupra view; do
  # Test files and fuzz targets are not the code under test.
  summary="$(gcovr -r . build/coverage --filter "$folder/" --exclude '.*_test\.cc' \
    --exclude '.*_fuzz\.cc' --exclude '.*_bench\.cc' --exclude '.*test_.*\.h' \
    --exclude-unreachable-branches --exclude-throw-branches --print-summary -o "$report")"
  lines="$(sed -n 's/^lines: \([0-9.]*%\).*/\1/p' <<<"$summary")"
  branches="$(sed -n 's/^branches: \([0-9.]*%\).*/\1/p' <<<"$summary")"
  printf '%-10s %8s %8s\n' "$folder" "$lines" "$branches"
done
