#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Qt 6 base for 32-bit Windows (by default) with MinGW-w64 from Debian's own
# qt6-base source package, the same version as the build machine's Qt, whose
# moc, rcc and uic it uses. The result lands in a cache folder named by the
# version and the options, and is reused as long as that folder exists.
#   scripts/build-qt-mingw.sh            prints the folder (after building it when missing)
# RVZ_QT_CACHE chooses where the cache folders live (default: ~/.cache/rivivev-uvezi);
# RVZ_QT_ARCH=x86_64 builds it for 64-bit Windows instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh qt-mingw >&2

arch=${RVZ_QT_ARCH:-i686}
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
# What is left out: the Wintab header is not in Debian's source, so no
# tablets; the 6.4 Windows platform plugin needs OpenGL (dynamic, the default).
features=(-DFEATURE_tabletevent=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
          -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
          -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
          -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF)
options_hash=$(printf '%s\n' "$arch" "${features[@]}" | sha256sum | cut -c1-12)
cache=${RVZ_QT_CACHE:-$HOME/.cache/rivivev-uvezi}
prefix="$cache/qt-$version-mingw-$arch-$options_hash"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The source through a sources list of our own: the machine's apt
# configuration is neither read for sources nor changed.
mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial" "$work/source"
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
echo "deb-src http://deb.debian.org/debian $codename main" > "$work/apt/sources.list"
apt_private=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache::Archives="$work/apt/archives"
             -o APT::Sandbox::User=root)
apt-get "${apt_private[@]}" update -qq >&2
(cd "$work/source" && apt-get "${apt_private[@]}" source -qq "qt6-base=$version" >&2)
source_dir=$(find "$work/source" -mindepth 1 -maxdepth 1 -type d | head -n 1)

start=$(date +%s)
cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/windows/toolchain-$arch.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DFEATURE_opengl_dynamic=ON "${features[@]}" >&2
cmake --build "$work/build" -j "$(nproc)" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
echo "Qt for MinGW ($arch) built in $(( ($(date +%s) - start) / 60 )) minutes" >&2
echo "$prefix"
