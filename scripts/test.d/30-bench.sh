#!/usr/bin/env bash
# Smoke run of the benchmarks and the peer comparison: they build, run, and the peers' outputs match
# morvane-cli's. No timing is asserted here; the figures come from a full bench/compare.sh run.
set -euo pipefail
cmake --preset default >/dev/null
cmake --build --preset default --target morvane_bench morvane-cli morvane_workload
log=$(mktemp)
trap 'rm -f "$log"' EXIT
build/default/bench/morvane_bench --benchmark_min_time=0.01 >"$log" 2>&1 || { cat "$log"; exit 1; }
if grep -q "ERROR OCCURRED" "$log"; then
  cat "$log"
  exit 1
fi
echo "benchmarks ran: $(grep -c '^BM_' "$log") of them"
bash bench/compare.sh --quick
