#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds both widths for Windows (scripts/build-windows.sh) and runs
# their tests under Wine: the 32-bit programs we ship with every test, the
# window's included, and the 64-bit command line for the 64-bit library.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh i686
scripts/build-windows.sh x86_64

# One Wine prefix, started once for all tests of both widths: each test
# then costs a process start, not a prefix set-up.
source scripts/wine-env.sh "$PWD/build-windows-wine"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if runs_32bit_programs; then
  ctest --test-dir build-windows-i686 --output-on-failure -j "$(nproc)"
else
  echo "NOTE: 32-bit Wine cannot start here (not installed, or a kernel without 32-bit programs): the 32-bit" \
       "build was made, but its tests are left out here; the 64-bit build's tests run." >&2
fi
ctest --test-dir build-windows --output-on-failure -j "$(nproc)"
