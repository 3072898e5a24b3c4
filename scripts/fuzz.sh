#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer in build-fuzz/ and runs each for a bounded time
# on a copy of its seed corpus. Exits non-zero on a crash, a failed check or a sanitizer report.
#   FUZZ_SECONDS   seconds per target (default 60)
#   FUZZ_TARGETS   targets to run (default: all)
#   FUZZ_SEED      libFuzzer's random seed (default 1, so a run repeats itself; 0 = a new one)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-60}
targets=${FUZZ_TARGETS:-"answer_parser ini_file fault_records log_reader event_log"}
seed=${FUZZ_SEED:-1}

sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORO_BUILD_FUZZ=ON -DVELMORO_BUILD_GUI=OFF -DVELMORO_BUILD_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS=$sanitizers -fno-omit-frame-pointer" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
for t in $targets; do
  cmake --build "$build" --target "fuzz_$t" -j 2
done

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"

failed=0
for t in $targets; do
  work="$build/run/$t"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp -r "$root/fuzz/corpus/$t/." "$work/corpus/"
  # A settings file of a few KiB already holds every shape of line; longer inputs only slow the
  # section lookups down.
  max_len=4096
  [ "$t" = ini_file ] && max_len=1024
  echo "== fuzz_$t for ${seconds}s"
  if ! "$build/fuzz/fuzz_$t" "$work/corpus" -max_total_time="$seconds" -max_len="$max_len" -seed="$seed" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1; then
    echo "fuzz_$t FAILED; see $work/log and $work/artifacts/"
    tail -n 60 "$work/log"
    failed=1
  else
    grep -E '^stat::(number_of_executed_units|new_units_added)' "$work/log" || true
  fi
done
exit $failed
