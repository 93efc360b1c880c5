#!/bin/bash
# Builds the libFuzzer targets with clang and runs each for a while (default 60 s).
# usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
command -v clang++ >/dev/null || { echo "fuzz: needs clang (apt-get install clang)"; exit 2; }
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target update_file_fuzz url_list_fuzz
for fuzzer in build/fuzz/data/update_file_fuzz build/fuzz/checklist/url_list_fuzz; do
  mkdir -p "build/fuzz/corpus/$(basename "$fuzzer")"
  "$fuzzer" -max_total_time="${1:-60}" -max_len=4096 "build/fuzz/corpus/$(basename "$fuzzer")"
done
