#!/usr/bin/env bash
# Installs what is missing, builds the three programs and makes the Debian package
# build/odel-utility_VERSION_ARCH.deb with CPack's DEB generator.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "${JOBS:-$(nproc)}" --target odel-utility odelctl odel-sim odel_docs
cd build && cpack -G DEB
