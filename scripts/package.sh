#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package: build-package/rivivev-uvezi_VERSION_ARCH.deb.
# Installs the packages it misses first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package

build=build-package
# The same commit builds the same bytes, wherever and whenever it is built:
# the commit's time stands for the build time (in the archives' dates), and
# dpkg-buildflags maps the source folder out of the binaries.
source scripts/source-date.sh
# The archive members' own modes follow the umask.
umask 022
# Debian's own hardening and optimisation flags, as a Debian build would use;
# CMake reads no CPPFLAGS, so the preprocessor's (fortify) join the compiler's.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DRVZ_BUILD_TESTS=OFF -DRVZ_BUILD_BENCH=OFF -DRVZ_UDEV_RULES_DIR=/lib/udev/rules.d >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/rivivev-uvezi_*.deb
