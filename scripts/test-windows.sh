#!/usr/bin/env bash
# Cross-builds for Windows with MinGW-w64 and runs the tests under Wine:
# the 32-bit programs we ship (the window over Qt for MinGW, the demo, the
# command line) with every test, the window's included; and the 64-bit
# command line with the units below the window, for the 64-bit library.
# Installs the packages it misses, and builds Qt for MinGW when its cache
# folder is missing (scripts/build-qt-mingw.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
qt=$(scripts/build-qt-mingw.sh)

# CLI11 and nlohmann-json are header-only: the cross build reads just their
# folders, never the rest of the build machine's /usr/include.
headers=build-windows-headers
mkdir -p "$headers"
ln -sfn /usr/include/CLI "$headers/CLI"
ln -sfn /usr/include/nlohmann "$headers/nlohmann"

common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DRVZ_BUILD_BENCH=OFF -DRVZ_WERROR=ON
        -DRVZ_GTEST_SOURCE=/usr/src/googletest -DRVZ_CROSS_HEADERS="$PWD/$headers")

# Everything lands in one bin folder, so the stand-in library and Qt's
# DLLs lie beside the executables, as once installed.
build32=build-windows-i686
cmake --no-warn-unused-cli -S . -B "$build32" "${common[@]}" -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain-i686.cmake \
  -DRVZ_QT_PREFIX="$qt" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$build32/bin" >/dev/null
cmake --build "$build32" -j "$(nproc)"

build64=build-windows
cmake --no-warn-unused-cli -S . -B "$build64" "${common[@]}" -DRVZ_BUILD_WINDOW=OFF \
  -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain-x86_64.cmake -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$build64/bin" >/dev/null
cmake --build "$build64" -j "$(nproc)"

# One Wine prefix, started once for all tests of both widths: each test
# then costs a process start, not a prefix set-up.
source scripts/wine-env.sh "$PWD/build-windows-wine"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
ctest --test-dir "$build32" --output-on-failure -j "$(nproc)"
ctest --test-dir "$build64" --output-on-failure -j "$(nproc)"
