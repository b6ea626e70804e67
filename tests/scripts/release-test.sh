#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/release.sh with a prerequisite missing (NSIS, per a stand-in
# dpkg-query) stops before it builds anything, names what is missing and
# how to get it, and leaves no release folder behind; one whose package
# build fails names that step and leaves the last release as it was; one
# whose builds succeed (stand-ins) puts every file and their checksums in
# place of the last.
# Usage: release-test.sh SOURCE_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/scripts" "$work/bin"
cp "$1/scripts/release.sh" "$1/scripts/install-deps.sh" "$work/tree/scripts/"
cp "$1/CMakeLists.txt" "$work/tree/"
cat > "$work/bin/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
[ "${*: -1}" = nsis ] && exit 1
printf installed
STAND_IN
chmod +x "$work/bin/dpkg-query"
code=0
PATH="$work/bin:$PATH" bash "$work/tree/scripts/release.sh" >"$work/said" 2>&1 || code=$?
cat "$work/said"
[ "$code" = 2 ] || { echo "FAIL: exit $code, not 2"; exit 1; }
grep -q "these packages are missing: nsis" "$work/said" || { echo "FAIL: nsis not named"; exit 1; }
grep -q "scripts/install-deps.sh windows-package" "$work/said" || { echo "FAIL: no way to get it"; exit 1; }
[ ! -e "$work/tree/release" ] || { echo "FAIL: a release folder was left"; exit 1; }
echo "ok   release with NSIS missing"

# Everything there, and a committed tree whose package build fails.
cp "$1/scripts/source-date.sh" "$work/tree/scripts/"
printf '#!/usr/bin/env bash\nexit 1\n' > "$work/tree/scripts/package.sh"
chmod +x "$work/tree/scripts/package.sh"
sed -i 's/\[ "${\*: -1}" = nsis \] && exit 1//' "$work/bin/dpkg-query"
version=$(sed -n 's/^project(RivivevUvezi VERSION \([0-9.]*\) .*/\1/p' "$work/tree/CMakeLists.txt")
(cd "$work/tree" && git init -q && git add -A && git -c user.name=t -c user.email=t@t commit -qm t)
mkdir -p "$work/tree/release/$version"
git -C "$work/tree" rev-parse HEAD > "$work/tree/release/$version/SOURCE"
echo kept > "$work/tree/release/$version/SHA256SUMS"
code=0
PATH="$work/bin:$PATH" bash "$work/tree/scripts/release.sh" >"$work/said" 2>&1 || code=$?
cat "$work/said"
[ "$code" != 0 ] || { echo "FAIL: a failed package build ended with 0"; exit 1; }
grep -q "failed while building the Debian package" "$work/said" || { echo "FAIL: the step is not named"; exit 1; }
[ "$(cat "$work/tree/release/$version/SHA256SUMS")" = kept ] || { echo "FAIL: the last release was touched"; exit 1; }
[ -z "$(find "$work/tree/release" -name '.*' -mindepth 1)" ] || { echo "FAIL: the scratch folder was left"; exit 1; }
echo "ok   release whose package build fails"

# Builds that succeed: the release replaces the last, whole.
cat > "$work/tree/scripts/package.sh" <<'STAND_IN'
#!/usr/bin/env bash
mkdir -p build-package && echo deb > build-package/rivivev-uvezi_1.1_amd64.deb
STAND_IN
cat > "$work/tree/scripts/package-windows.sh" <<'STAND_IN'
#!/usr/bin/env bash
mkdir -p build-windows-i686 && echo zip > build-windows-i686/rivivev-uvezi-1.1-win32.zip &&
  echo exe > build-windows-i686/rivivev-uvezi-1.1-win32.exe
STAND_IN
sed -i "s/1\.1/$version/g" "$work/tree/scripts/package.sh" "$work/tree/scripts/package-windows.sh"
chmod +x "$work/tree/scripts/package.sh" "$work/tree/scripts/package-windows.sh"
(cd "$work/tree" && git add scripts && git -c user.name=t -c user.email=t@t commit -qm t2)
git -C "$work/tree" rev-parse HEAD > "$work/tree/release/$version/SOURCE"
code=0
PATH="$work/bin:$PATH" bash "$work/tree/scripts/release.sh" >"$work/said" 2>&1 || code=$?
cat "$work/said"
[ "$code" = 0 ] || { git -C "$work/tree" status --porcelain; echo "FAIL: a release whose builds succeed ended with $code"; exit 1; }
(cd "$work/tree/release/$version" && sha256sum -c --quiet SHA256SUMS) || { echo "FAIL: the checksums do not hold"; exit 1; }
[ "$(ls "$work/tree/release/$version" | wc -l)" = 6 ] || { echo "FAIL: not every file is there"; exit 1; }
[ -z "$(find "$work/tree/release" -name '.*' -mindepth 1)" ] || { echo "FAIL: the scratch folder was left"; exit 1; }
echo "ok   release whose builds succeed"
