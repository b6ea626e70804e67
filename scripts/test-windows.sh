#!/usr/bin/env bash
# Cross-builds the units below the window, the Windows bridge, the command
# line and their tests with MinGW-w64, runs the tests under Wine, and
# compiles the bridge for 32-bit Windows as well. Installs the packages it
# misses first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows

# CLI11 and nlohmann-json are header-only: the cross build reads just their
# folders, never the rest of the build machine's /usr/include.
headers=build-windows-headers
mkdir -p "$headers"
ln -sfn /usr/include/CLI "$headers/CLI"
ln -sfn /usr/include/nlohmann "$headers/nlohmann"

common=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DRVZ_BUILD_WINDOW=OFF -DRVZ_BUILD_BENCH=OFF -DRVZ_WERROR=ON
        -DRVZ_GTEST_SOURCE=/usr/src/googletest -DRVZ_CROSS_HEADERS="$PWD/$headers")

# 32 bits: the bridge and its loader only, so the compiler checks the
# stdcall convention of every call into the library.
cmake --no-warn-unused-cli -S . -B build-windows-i686 "${common[@]}" -DRVZ_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain-i686.cmake >/dev/null
cmake --build build-windows-i686 -j "$(nproc)" --target rvz_siusbxp_library

build=build-windows
cmake --no-warn-unused-cli -S . -B "$build" "${common[@]}" -DCMAKE_TOOLCHAIN_FILE=packaging/windows/toolchain-x86_64.cmake \
  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$build/bin" >/dev/null
cmake --build "$build" -j "$(nproc)"

# A Wine prefix of the build's own, started once for all tests: each test
# then costs a process start, not a prefix set-up.
export WINEPREFIX="$PWD/$build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
/usr/lib/wine/wineserver -p 60 2>/dev/null || true  # already running is fine
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true' EXIT
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
