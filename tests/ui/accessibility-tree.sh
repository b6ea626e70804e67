#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs accessibility_tree.py against the demo on a virtual X screen of its
# own, with a window manager to give the focus and a private session bus
# that carries the accessibility bus.
# Usage: accessibility-tree.sh DEMO
set -euo pipefail
demo=${1:?usage: $0 DEMO}
for tool in Xvfb openbox xdotool dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "missing $tool: scripts/install-deps.sh test installs it" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# A copy, so that a language picked here is kept beside it and not in the
# build; a home of its own for what Qt, D-Bus and AT-SPI keep of the run.
cp "$demo" "$work/"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
  XDG_DATA_HOME="$work/home/.local/share"
mkdir -p "$HOME"

source "$(dirname "$0")/../../scripts/virtual-screen.sh"
start_virtual_screen 1024x768 "$work"

dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/accessibility_tree.py" "$work/$(basename "$demo")" 2>&1 |
  grep -v -e 'fd limit' -e 'QAccessibleTable::child: Invalid index'
