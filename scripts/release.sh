#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a release of the checked-out commit into release/VERSION/:
#   rivivev-uvezi-VERSION.tar.gz          the source, as git holds it
#   rivivev-uvezi_VERSION_amd64.deb       the Debian package
#   rivivev-uvezi-VERSION-win32.zip/.exe  the Windows download
#   SOURCE                                the commit they were built from
#   SHA256SUMS                            the checksums of all of the above
# The version comes from the one place it is defined (CMakeLists.txt), the
# build time is the commit's time, and a tree with uncommitted changes is
# refused, so that the files always name the sources they came from.
# Everything needed is checked first; the files are made in a scratch
# folder and put in release/VERSION/ only once every one of them is there,
# so a release is whole or not there at all.
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# What the Debian package and the Windows download are built with: the
# cross compilers, Qt for MinGW's build tools, NSIS for the installer.
# 32-bit Wine only runs the Windows build's tests, which a release does not.
missing=$(scripts/install-deps.sh --missing package windows qt-mingw windows-package | grep -v ':i386$' || true)
if [ -n "$missing" ]; then
  echo "release: these packages are missing:" $missing >&2
  echo "release: get them with: scripts/install-deps.sh package && scripts/install-deps.sh windows &&" \
    "scripts/install-deps.sh qt-mingw && scripts/install-deps.sh windows-package" >&2
  exit 2
fi
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  { echo "release: the tree has uncommitted changes: commit them first, so the release names its sources" >&2; exit 2; }

version=$(sed -n 's/^project(RivivevUvezi VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt's project()" >&2; exit 2; }
commit=$(git rev-parse HEAD)
source scripts/source-date.sh
umask 022
out=release/$version
# A version names one commit: a release of another commit under the same
# version is refused; the same commit's is made again.
if [ -f "$out/SOURCE" ] && [ "$(cat "$out/SOURCE")" != "$commit" ]; then
  echo "release: $version was made from $(cat "$out/SOURCE"); raise the version in CMakeLists.txt for $commit" >&2
  exit 2
fi

mkdir -p release
stage=$(mktemp -d "$PWD/release/.$version.XXXXXX")
step="starting"
trap 'echo "release: failed while $step; $out is as it was before" >&2' ERR
trap 'rm -rf "$stage"' EXIT

# The source: git's own archive of the commit (dates are the commit's), with
# the date recorded for a build from the unpacked tarball.
step="making the source tarball"
name=rivivev-uvezi-$version
mkdir -p "$stage/tmp/$name" "$stage/files"
echo "$SOURCE_DATE_EPOCH" >"$stage/tmp/$name/.source-date-epoch"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/tmp/$name/.source-date-epoch" "$stage/tmp/$name"
# Whatever the user's git settings, the same modes and line ends.
git -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="$name/" "$commit" >"$stage/tmp/source.tar"
tar --append -f "$stage/tmp/source.tar" -C "$stage/tmp" --owner=0 --group=0 --numeric-owner "$name/.source-date-epoch"
gzip -9n <"$stage/tmp/source.tar" >"$stage/files/$name.tar.gz"

# The package from a fresh build folder, the Windows download from its own.
step="building the Debian package (scripts/package.sh)"
rm -rf build-package
scripts/package.sh >/dev/null
cp build-package/rivivev-uvezi_"$version"_*.deb "$stage/files/"
step="building the Windows download (scripts/package-windows.sh)"
scripts/package-windows.sh >/dev/null
cp build-windows-i686/"$name"-win32.zip build-windows-i686/"$name"-win32.exe "$stage/files/"

step="writing SOURCE and SHA256SUMS"
echo "$commit" >"$stage/files/SOURCE"
(cd "$stage/files" && sha256sum -- * >"$stage/SHA256SUMS" && mv "$stage/SHA256SUMS" SHA256SUMS)
# Every file is there: the old release of this commit, if any, is moved
# aside, and put back should the new one not take its place.
step="putting the release in $out"
trap '' INT TERM HUP
[ ! -e "$out" ] || mv "$out" "$stage/old"
if ! mv "$stage/files" "$out"; then
  [ ! -e "$stage/old" ] || mv "$stage/old" "$out"
  false
fi
echo "release $version of $commit in $out:"
cat "$out/SHA256SUMS"
