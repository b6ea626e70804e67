#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for Windows with MinGW-w64, for one width:
#   scripts/build-windows.sh i686      the programs we ship, the window included,
#                                      with their tests: build-windows-i686/
#   scripts/build-windows.sh x86_64    the command line and the units below the
#                                      window, with their tests: build-windows/
# Installs the packages it misses, and builds Qt for MinGW when its cache
# folder is missing (scripts/build-qt-mingw.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

# CLI11 and nlohmann-json are header-only: the cross build reads just their
# folders, never the rest of the build machine's /usr/include.
headers=build-windows-headers
mkdir -p "$headers"
ln -sfn /usr/include/CLI "$headers/CLI"
ln -sfn /usr/include/nlohmann "$headers/nlohmann"

arch=${1:?usage: $0 i686|x86_64}
options=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DRVZ_BUILD_BENCH=OFF -DRVZ_WERROR=ON
         -DRVZ_GTEST_SOURCE=/usr/src/googletest -DRVZ_CROSS_HEADERS="$PWD/$headers"
         -DCMAKE_TOOLCHAIN_FILE="packaging/windows/toolchain-$arch.cmake")
case "$arch" in
  i686)
    build=build-windows-i686
    qt=$(scripts/build-qt-mingw.sh)
    options+=(-DRVZ_QT_PREFIX="$qt" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) ;;
  x86_64)
    build=build-windows
    options+=(-DRVZ_BUILD_WINDOW=OFF) ;;
  *) echo "usage: $0 i686|x86_64" >&2; exit 2 ;;
esac
# Everything lands in one bin folder, so the stand-in library and Qt's
# DLLs lie beside the executables, as once installed.
cmake --no-warn-unused-cli -S . -B "$build" "${options[@]}" -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$build/bin" >/dev/null
cmake --build "$build" -j "$(nproc)"
