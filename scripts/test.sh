#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (unit and integration).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${PELLQUIN_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
