#!/usr/bin/env bash
# Runs every benchmark of a build directory; each compares relayKit with a baseline in the same run.
#   tools/run-benchmarks.sh [build dir] [--smoke]
# --smoke runs each benchmark once with the smallest counts and inputs: no figure means anything
# then, but a benchmark that stops or reports an error fails the run.
set -euo pipefail
build_dir=${1:-build-bench}
min_time=0.2
if [[ ${2:-} == --smoke ]]; then
  export RELAYKIT_BENCH_SMOKE=1 CAPSHEET_BENCH_BYTES=1000000
  min_time=0.000001
fi
for program in "$build_dir"/bench/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_min_time=$min_time
done
for script in "$(dirname "$0")"/../bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script" "$build_dir"
done
