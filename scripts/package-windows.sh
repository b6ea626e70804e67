#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows download from the 32-bit build: a portable zip and an
# installer of the same files,
#   build-windows-i686/rivivev-uvezi-VERSION-win32.zip
#   build-windows-i686/rivivev-uvezi-VERSION-win32.exe
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows-package
# The commit's time in the zip's dates, and modes that follow no umask.
source scripts/source-date.sh
umask 022
# Zip entries carry local times: the same one everywhere.
export TZ=UTC
scripts/build-windows.sh i686
(cd build-windows-i686 && cpack -G "NSIS;ZIP" >/dev/null)
ls build-windows-i686/rivivev-uvezi-*-win32.zip build-windows-i686/rivivev-uvezi-*-win32.exe
