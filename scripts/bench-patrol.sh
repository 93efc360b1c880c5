#!/bin/bash
# Patrol benchmark: N loopback addresses (default 200), each answered after 50 ms, fetched
# natively (sockets) and under Wine (WinINet); each run prints the Patrol's duration beside
# the slowest single download of the same run.
# usage: scripts/bench-patrol.sh [N]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
n="${1:-200}"
scripts/setup.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target patrol_bench
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target patrol_bench
scripts/wine-prefix.sh
work="$root/build/bench/patrol-bench"
rm -rf "$work" && mkdir -p "$work/root"
serve() {
  python3 tests/http_server.py --root "$work/root" --rule '/bench/*' delay=50 --timeout 900 -- "$@"
}
echo "== native, socket transport"
serve build/bench/net/patrol_bench "$n"
echo "== Windows under Wine, WinINet"
serve scripts/wine-run.sh build/windows/bin/patrol_bench.exe "$n" | tr -d '\r'
