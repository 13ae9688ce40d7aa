#!/usr/bin/env bash
# Configures (once) and builds Pagewyn and its tests in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/configure.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
