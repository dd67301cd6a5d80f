#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS, 20 s by
# default) on its corpus under fuzz/corpus; a crash, a leak or undefined behaviour fails the run.
# New inputs go to a scratch directory, so the committed corpora stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${FUZZ_SECONDS:-20}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DODEL_FUZZ=ON
cmake --build build-fuzz -j "${JOBS:-$(nproc)}"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0"
for target in replies telnet sim busfile conf; do
  scratch=$(mktemp -d)
  echo "fuzz_$target: ${SECONDS_EACH} s"
  if ! build-fuzz/bin/fuzz_$target -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$scratch/" "$scratch" "fuzz/corpus/$target" > "$scratch/log" 2>&1; then
    tail -n 60 "$scratch/log"
    echo "fuzz_$target failed; the input is in $scratch" >&2
    exit 1
  fi
  tail -n 1 "$scratch/log"
  rm -rf "$scratch"
done
