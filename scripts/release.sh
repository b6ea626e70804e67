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
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  { echo "the tree has uncommitted changes: commit them first, so the release names its sources" >&2; exit 2; }

version=$(sed -n 's/^project(RivivevUvezi VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no version in CMakeLists.txt's project()" >&2; exit 2; }
commit=$(git rev-parse HEAD)
source scripts/source-date.sh
umask 022
out=release/$version
# A version names one commit: a release of another commit under the same
# version is refused; the same commit's is made again.
if [ -f "$out/SOURCE" ] && [ "$(cat "$out/SOURCE")" != "$commit" ]; then
  echo "release $version was made from $(cat "$out/SOURCE"); raise the version in CMakeLists.txt for $commit" >&2
  exit 2
fi
rm -rf "$out"
mkdir -p "$out"

# The source: git's own archive of the commit (dates are the commit's), with
# the date recorded for a build from the unpacked tarball.
name=rivivev-uvezi-$version
stamp=$(mktemp -d)
trap 'rm -rf "$stamp"' EXIT
mkdir -p "$stamp/$name"
echo "$SOURCE_DATE_EPOCH" >"$stamp/$name/.source-date-epoch"
touch -d "@$SOURCE_DATE_EPOCH" "$stamp/$name/.source-date-epoch" "$stamp/$name"
# Whatever the user's git settings, the same modes and line ends.
git -c tar.umask=0022 -c core.autocrlf=false archive --format=tar --prefix="$name/" "$commit" >"$stamp/source.tar"
tar --append -f "$stamp/source.tar" -C "$stamp" --owner=0 --group=0 --numeric-owner "$name/.source-date-epoch"
gzip -9n <"$stamp/source.tar" >"$out/$name.tar.gz"

# The package from a fresh build folder, the Windows download from its own.
rm -rf build-package
scripts/package.sh >/dev/null
cp build-package/rivivev-uvezi_"$version"_*.deb "$out/"
scripts/package-windows.sh >/dev/null
cp build-windows-i686/"$name"-win32.zip build-windows-i686/"$name"-win32.exe "$out/"

echo "$commit" >"$out/SOURCE"
(cd "$out" && sha256sum -- * | grep -v ' SHA256SUMS$' >SHA256SUMS)
echo "release $version of $commit in $out:"
cat "$out/SHA256SUMS"
