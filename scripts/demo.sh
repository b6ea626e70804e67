#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the tool and starts the demo, which runs over the built-in simulated
# adapter and servo. Installs the packages it misses first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRVZ_BUILD_TESTS=OFF -DRVZ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target rivivev-uvezi-demo
# CI builds what the Quick start builds, without starting it.
[ "${RVZ_BUILD_ONLY:-0}" = 1 ] && exit 0
exec "$build/app/rivivev-uvezi-demo"
