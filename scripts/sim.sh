#!/usr/bin/env bash
# Installs what is missing, builds odel-sim and serves a simulated bus; arguments go to odel-sim
# (e.g. --bus FILE --link /tmp/odel-bus). Its first output line is the port to open.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}" --target odel-sim odelctl >/dev/null
exec build/bin/odel-sim "$@"
