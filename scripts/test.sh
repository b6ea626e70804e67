#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test. Installs the packages it misses first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

build=build-test
# The USB layer's tests need the virtual adapter: without it they fail, never skip.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRVZ_SANITIZE=ON -DRVZ_REQUIRE_VIRTUAL_ADAPTER=ON -DRVZ_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
export RVZ_REQUIRE_VIRTUAL_ADAPTER=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp":print_suppressions=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
