#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test suite, builds the Debian
# package and checks it (scripts/package-test.sh); then builds the
# non-GUI suites once more with AddressSanitizer + UndefinedBehaviorSanitizer and runs them, and
# runs every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
JOBS=${JOBS:-$(nproc)}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$JOBS"
(cd build && ctest --output-on-failure -j "$JOBS")
./scripts/package-test.sh build
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DODEL_GUI=OFF -DODEL_SANITIZE=ON
cmake --build build-asan -j "$JOBS"
(cd build-asan && ctest --output-on-failure -j "$JOBS")
./scripts/fuzz.sh
