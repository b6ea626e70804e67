#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the 32-bit window programs under Wine on a virtual screen:
# the demo and the real program over the stand-in library, in each of the
# three languages, and the real program without its library.
#   scripts/windows-screenshots.sh [FOLDER]     (after scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshots
out=$(realpath -m "${1:-build-windows-screenshots}")
mkdir -p "$out"
bin=$PWD/build-windows-i686/bin
[ -x "$bin/rivivev-uvezi-demo.exe" ] || { echo "run scripts/test-windows.sh first" >&2; exit 2; }

# A copy of the programs, so the preferences files written here stay out
# of the build.
work=$(mktemp -d)
display=:97
Xvfb "$display" -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
openbox >/dev/null 2>&1 &
source scripts/wine-env.sh "$PWD/build-windows-wine"

# shot NAME PROGRAM LANGUAGE [without-library]
shot() {
  local folder="$work/$1"
  cp -r "$bin" "$folder"
  [ "${4:-}" = without-library ] && rm -f "$folder"/SIUSBXP.dll
  # Language 0 Traditional Chinese, 1 Simplified Chinese, 2 English.
  printf "USB servo register file!\r\n\r\n\r\n%s\r\nDo'nt edit the file!\r\n" "$3" > "$folder/$2.dat"
  (cd "$folder" && exec wine "./$2.exe") >/dev/null 2>&1 &
  local program=$!
  sleep 8
  import -window root "$out/$1.png"
  kill "$program" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  wait "$program" 2>/dev/null || true
  echo "$out/$1.png"
}

languages=(zh-TW zh-CN en)
for language in 0 1 2; do
  shot "demo-${languages[$language]}" rivivev-uvezi-demo "$language"
  shot "adapter-${languages[$language]}" rivivev-uvezi "$language"
done
shot adapter-without-library rivivev-uvezi 2 without-library
