#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/install-deps.sh against stand-in package tools: a mirror whose
# index cannot be fetched does not stop an install that works; an install
# that fails names the packages and the command to retry; 32-bit Wine is
# optional; without root or sudo, it says what to run as root.
# Usage: install-deps-test.sh SOURCE_DIR
set -euo pipefail
script="$1/scripts/install-deps.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tools="$work/bin"
mkdir "$tools"
# Only these are on the path: nothing real is installed, and sudo is absent.
for tool in bash env grep cat; do ln -s "$(command -v "$tool")" "$tools/$tool"; done
cat > "$tools/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
# Held, and so installed; everything else missing.
[ "${*: -1}" = cmake ] && printf installed && exit 0
exit 1
STAND_IN
cat > "$tools/dpkg" <<'STAND_IN'
#!/usr/bin/env bash
echo "dpkg $*" >> "$CALLS"
STAND_IN
cat > "$tools/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
echo "apt-get $*" >> "$CALLS"
case "$*" in
  update*) exit 100 ;;  # a mirror in the middle of a sync
  *wine32:i386*) exit 100 ;;
  *) exit "$INSTALL_EXIT" ;;
esac
STAND_IN
cat > "$tools/id" <<'STAND_IN'
#!/usr/bin/env bash
echo "$USER_ID"
STAND_IN
# sudo, where a test puts it: it refuses.
cat > "$work/sudo" <<'STAND_IN'
#!/usr/bin/env bash
echo "sudo: a password is required" >&2
exit 1
STAND_IN
chmod +x "$tools"/* "$work/sudo"

failures=0
# expect NAME EXIT USER_ID INSTALL_EXIT SET TEXT...: runs the script, checks its exit code and that its output holds each text.
expect() {
  local name=$1 want=$2 user=$3 install=$4 set=$5
  shift 5
  local code=0
  : > "$work/calls"
  CALLS="$work/calls" USER_ID=$user INSTALL_EXIT=$install PATH="$tools" "$tools/bash" "$script" "$set" \
    > "$work/said" 2>&1 || code=$?
  local ok=1
  [ "$code" = "$want" ] || ok=0
  for text in "$@"; do grep -qF -- "$text" "$work/said" "$work/calls" || ok=0; done
  if [ $ok = 1 ]; then
    echo "ok   $name"
  else
    echo "FAIL $name: exit $code (wanted $want)"; cat "$work/said" "$work/calls"
    failures=$((failures + 1))
  fi
}

expect "update fails, install works" 0 0 0 windows-package \
  "could not all be updated" "apt-get install -y -qq --no-install-recommends nsis unzip"
expect "update fails, install fails" 1 0 100 windows-package \
  "could not be installed: nsis unzip" "retry with: apt-get update && apt-get install nsis unzip"
expect "32-bit Wine cannot be had" 0 0 0 windows \
  "dpkg --add-architecture i386" "WARNING: wine32:i386 could not be installed"
expect "no root and no sudo" 1 1000 0 windows-package \
  "there is no sudo here; as root, run: apt-get update && apt-get install nsis unzip"
expect "no root and no sudo, 32-bit Wine" 1 1000 0 windows \
  "as root, run: dpkg --add-architecture i386 && apt-get update && apt-get install"
expect "a held package is there" 0 0 0 build "apt-get install -y -qq --no-install-recommends ninja-build"
if grep -q "install .*cmake" "$work/calls"; then echo "FAIL held package installed again"; failures=$((failures + 1)); fi
ln -s "$work/sudo" "$tools/sudo"
expect "sudo refuses" 1 1000 0 windows \
  "i386 architecture could not be added" "sudo refused); retry with: sudo apt-get update && sudo apt-get install"
[ $failures = 0 ]
