#!/usr/bin/env bash
# Runs every benchmark program of a build directory; each compares relayKit with its baseline.
set -euo pipefail
build_dir=${1:-build-bench}
for program in "$build_dir"/bench/*_bench; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_min_time=0.2
done
