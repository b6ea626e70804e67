#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package twice from the checked-out commit, in two fresh
# worktrees in different folders, a while apart, under another umask and
# time zone the second time, and checks that both are the same bytes.
# Usage: scripts/check-reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "NOTE: uncommitted changes are not built here; the commit $(git rev-parse --short HEAD) is" >&2

work=$PWD/build-reproduce
first=$work/first/rivivev-uvezi
second=$work/second/somewhere/else/src
cleanup() {
  git worktree remove --force "$first" >/dev/null 2>&1 || true
  git worktree remove --force "$second" >/dev/null 2>&1 || true
  rm -rf "$work"
}
cleanup
trap cleanup EXIT
mkdir -p "$(dirname "$first")" "$(dirname "$second")"
git worktree add -q --detach "$first" HEAD
git worktree add -q --detach "$second" HEAD

(cd "$first" && scripts/package.sh >/dev/null)
sleep 2
(cd "$second" && umask 0002 && TZ=Asia/Taipei scripts/package.sh >/dev/null)

one=$(ls "$first"/build-package/rivivev-uvezi_*.deb)
two=$(ls "$second"/build-package/rivivev-uvezi_*.deb)
sha256sum "$one" "$two"
if ! cmp -s "$one" "$two"; then
  echo "FAIL: the two builds of $(git rev-parse --short HEAD) differ; their contents:" >&2
  diff <(dpkg-deb -c "$one") <(dpkg-deb -c "$two") >&2 || true
  exit 1
fi
echo "reproducible: $(basename "$one") is the same bytes from both builds"
