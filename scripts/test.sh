#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (unit and integration).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${PELLQUIN_BUILD_DIR:-build}
# The install prefix of the packages that scripts/package-test.sh builds from this tree; ccache,
# when there is one, only speeds up rebuilds.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    "${launcher[@]}"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
