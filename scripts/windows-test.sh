#!/usr/bin/env bash
# The Windows builds: x86_64 cross-built with mingw-w64 and its tests run under Wine (the
# service's end-to-end test asks it from the native pellquin-cli); i686 compiled only.
# Build trees: build-win64/ and build-win32/ (PELLQUIN_WIN64_BUILD_DIR, PELLQUIN_WIN32_BUILD_DIR);
# the native one that provides pellquin-cli: build/ (PELLQUIN_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/windows-setup.sh

native=${PELLQUIN_BUILD_DIR:-build}
win64=${PELLQUIN_WIN64_BUILD_DIR:-build-win64}
win32=${PELLQUIN_WIN32_BUILD_DIR:-build-win32}
step() { echo "windows-test: $1 ($SECONDS s)"; }

cli="$native/src/cli/pellquin-cli"
if [ ! -f "$native/CMakeCache.txt" ]; then
    scripts/setup.sh
    cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$native" --target pellquin-cli
step "native client ready"

cmake -S . -B "$win64" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DPELLQUIN_NATIVE_CLI="$(realpath "$cli")"
cmake --build "$win64"
step "x86_64 built"

cmake -S . -B "$win32" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake -DPELLQUIN_BUILD_TESTS=OFF
cmake --build "$win32"
step "i686 built"

# The prefix's wineserver runs persistently during the tests; end it whatever happens.
trap '"$win64/wine-prefix" stop >/dev/null 2>&1 || true' EXIT
step "running the x86_64 tests under Wine"
# Last, so that CTest's summary closes the output.
ctest --test-dir "$win64" --output-on-failure -j "$(nproc)"
