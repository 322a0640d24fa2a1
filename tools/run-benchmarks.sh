#!/usr/bin/env bash
# Runs every benchmark of a build directory; each compares relayKit with a baseline in the same run.
set -euo pipefail
build_dir=${1:-build-bench}
for program in "$build_dir"/bench/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_min_time=0.2
done
for script in "$(dirname "$0")"/../bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script" "$build_dir"
done
