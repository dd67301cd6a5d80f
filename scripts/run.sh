#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. Without arguments it serves the
# built-in simulated bus; any arguments go to odel-utility (e.g. --port /dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "${JOBS:-$(nproc)}" --target odel-utility odel-sim odelctl
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--simulate)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting under a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/odel-utility "${args[@]}"
fi
exec build/bin/odel-utility "${args[@]}"
