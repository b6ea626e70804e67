#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds what the README tells users to build, as it says: the demo of the
# Quick start and the Release build with its install, and checks that the
# installed command line runs. The package is checked by check-package.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

RVZ_BUILD_ONLY=1 scripts/demo.sh

# "Building from source" in the README, word for word but for the prefix.
scripts/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DRVZ_BUILD_TESTS=OFF -DRVZ_BUILD_BENCH=OFF >/dev/null
cmake --build build
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --component program --prefix "$prefix" >/dev/null
for program in rivivev-uvezi rivivev-uvezi-demo rivivev-uvezi-cli; do
  [ -x "$prefix/bin/$program" ] || { echo "check-builds: $program was not installed" >&2; exit 1; }
done
"$prefix/bin/rivivev-uvezi-cli" --demo read >/dev/null
echo "source build and install: ok"
