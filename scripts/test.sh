#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (the benchmarks too, so that they keep building) and runs every test; then builds the core (no
# widgets) with ThreadSanitizer and runs its suites; then runs the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

cmake --preset asan -G Ninja >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

cmake --preset tsan -G Ninja >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

# The fuzz targets (clang + libFuzzer), each for a bounded time on its seed corpus.
FUZZ_SECONDS=${FUZZ_SECONDS:-45} bash scripts/fuzz.sh
