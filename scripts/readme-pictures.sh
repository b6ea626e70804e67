#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the README's pictures from the programs as built now, so that they
# can be refreshed whenever the programs change:
#   - docs/pictures/window-en.png and window-zh-TW.png: the demo's window in
#     English and in Traditional Chinese, on a virtual screen;
#   - what the command line prints for some of the README's examples, put
#     between the README's "cli-output" markers.
# Usage: scripts/readme-pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
scripts/install-deps.sh screenshots

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRVZ_BUILD_TESTS=OFF -DRVZ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target rivivev-uvezi-demo rivivev-uvezi-cli

work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# Wide enough for the demo's panel to stand beside the window, not over it.
source scripts/virtual-screen.sh
start_virtual_screen 1600x900 "$work"

pictures=docs/pictures
mkdir -p "$pictures"
# window NAME LANGUAGE: 0 Traditional Chinese, 1 Simplified Chinese, 2 English.
window() {
  local folder="$work/$1"
  mkdir -p "$folder"
  # A copy with its own preferences file, which picks the language.
  cp "$build/app/rivivev-uvezi-demo" "$folder/"
  printf "USB servo register file!\r\n\r\n\r\n%s\r\nDo'nt edit the file!\r\n" "$2" >"$folder/rivivev-uvezi-demo.dat"
  "$folder/rivivev-uvezi-demo" >/dev/null 2>&1 &
  local program=$!
  local id
  id=$(xdotool search --sync --onlyvisible --name '^Rivivev Uvezi$' | head -n 1)
  # The first polls enable the buttons; the focus rests in the first field.
  sleep 1.5
  import -window "$id" "$pictures/window-$1.png"
  kill "$program"
  wait "$program" 2>/dev/null || true
  echo "$pictures/window-$1.png"
}
window en 2
window zh-TW 0

# The command line's output, each command as typed and what it printed.
cli=$PWD/$build/app/rivivev-uvezi-cli
output="$work/cli-output.md"
{
  echo '<!-- cli-output: made by scripts/readme-pictures.sh; edits here are overwritten -->'
  echo '```console'
  first=1
  while IFS= read -r command; do
    [ "$first" = 1 ] || echo
    first=0
    echo "\$ rivivev-uvezi-cli $command"
    status=0
    # shellcheck disable=SC2086 # each line is a command line to split
    (cd "$work" && "$cli" $command 2>&1) || status=$?
    [ "$status" = 0 ] || echo "(exit code $status)"
  done <<'COMMANDS'
--demo detect
--demo read -o servo.svo
show servo.svo
--demo write --set neutral=1520 --verify
--demo write --set neutral=2240
COMMANDS
  echo '```'
  echo '<!-- /cli-output -->'
} >"$output"
/usr/bin/env python3 - "$output" <<'PY'
import re, sys
block = open(sys.argv[1], encoding="utf-8").read().rstrip("\n")
readme = open("README.md", encoding="utf-8").read()
pattern = re.compile(r"<!-- cli-output[^\n]*-->.*?<!-- /cli-output -->", re.S)
if not pattern.search(readme):
    sys.exit("README.md has no cli-output markers")
open("README.md", "w", encoding="utf-8").write(pattern.sub(lambda _: block, readme, count=1))
PY
echo "README.md: command-line output refreshed"
