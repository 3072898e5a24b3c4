#!/usr/bin/env bash
# Builds the optimised benchmark preset (build-bench/) and runs every benchmark once, printing
# figures to compare run to run. Google Benchmark programs get a short minimum time per case.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench -G Ninja >/dev/null
cmake --build --preset bench -j 2

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
for bench in build-bench/bench/*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  name=$(basename "$bench")
  echo "== $name"
  if grep -q benchmark_filter "$bench"; then
    "$bench" --benchmark_min_time=0.2
  elif [ "$name" = bench_startup ]; then
    # A fresh process per start; five of them.
    for _ in 1 2 3 4 5; do "$bench"; done
  else
    "$bench"
  fi
done
