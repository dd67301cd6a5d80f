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
# A test that fails is run once more, so a timing test that loses to a busy machine does not
# fail the run; both results are in the log (a test that fails twice fails the run).
(cd build && ctest --output-on-failure -j "$JOBS" --repeat until-pass:2)
./scripts/package-test.sh build
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DODEL_GUI=OFF -DODEL_SANITIZE=ON
cmake --build build-asan -j "$JOBS"
(cd build-asan && ctest --output-on-failure -j "$JOBS" --repeat until-pass:2)
./scripts/fuzz.sh
