#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package as a distribution would, then installs it on this
# machine, runs what it installed and removes it again:
#   lintian (no error or warning), appstreamcli and desktop-file-validate,
#   the man pages rendered without a warning, apt-get install, the command
#   line and the demo window from the installed paths, the window run as root
#   writing nothing into system folders, apt-get purge, and nothing of the
#   package left behind.
# Usage: scripts/check-package.sh [PACKAGE.deb]   (default: builds it first)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package-check
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

deb=${1:-}
if [ -z "$deb" ]; then
  scripts/package.sh >/dev/null
  deb=$(ls build-package/rivivev-uvezi_*.deb | head -n 1)
fi
deb=$(realpath "$deb")
fail() { echo "check-package: $*" >&2; exit 1; }

echo "== lintian"
lintian --fail-on error,warning "$deb"

contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
echo "== desktop-file-validate"
desktop-file-validate "$contents"/usr/share/applications/*.desktop
echo "== man pages"
for page in "$contents"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# Qt's own texts in the window's Chinese come from Qt's translations.
dpkg-deb -f "$deb" Recommends | grep -qw qt6-translations-l10n || fail "the package does not recommend qt6-translations-l10n"
# The window's Chinese is read only with a CJK font.
dpkg-deb -f "$deb" Recommends | grep -qw fonts-noto-cjk || fail "the package does not recommend a CJK font"

echo "== install"
# The maintainer scripts say nothing, whether or not udevd runs here.
# Without a pseudo-terminal apt passes what the maintainer scripts say on.
said=$("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o Dpkg::Use-Pty=0 "$deb" 2>&1) ||
  fail "the install failed: $said"
! grep -q "Failed to send\|udevadm" <<<"$said" || fail "the maintainer scripts said: $said"
installed=$(dpkg -L rivivev-uvezi)
version=$(dpkg-deb -f "$deb" Version)
/usr/bin/rivivev-uvezi-cli --version | grep -qx "rivivev-uvezi-cli $version" || fail "--version does not say $version"
/usr/bin/rivivev-uvezi-cli --demo read --json | grep -q '"neutral":1500' || fail "the installed command line did not read the demo servo"
man -w rivivev-uvezi-cli >/dev/null || fail "man rivivev-uvezi-cli finds no page"
# The demo window must come up and keep running until it is ended.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/rivivev-uvezi-demo || status=$?
[ "$status" -eq 124 ] || fail "the installed demo window ended with $status instead of running"
getent group plugdev >/dev/null || fail "the group plugdev, which may open the adapter, does not exist"

echo "== run as root, a language picked"
# The installed window, run as root on a virtual screen: a language picked
# from the keyboard is kept in root's own folder, never beside the program.
scratch=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$contents" "$scratch"' EXIT
source scripts/virtual-screen.sh
start_virtual_screen 1024x768 "$scratch"
touch "$scratch/stamp"
"${sudo[@]}" env -u XDG_CONFIG_HOME HOME="$scratch/home" DISPLAY="$DISPLAY" /usr/bin/rivivev-uvezi-demo >/dev/null 2>&1 &
demo=$!
xdotool search --sync --onlyvisible --name '^Rivivev Uvezi$' >/dev/null
sleep 1
for keys in alt+l Up Return alt+F4; do xdotool key "$keys"; sleep 0.5; done
for _ in $(seq 50); do kill -0 "$demo" 2>/dev/null || break; sleep 0.1; done
kill -0 "$demo" 2>/dev/null && fail "the demo window did not close on Alt+F4"
written=$("${sudo[@]}" find /usr /etc /opt -xdev -newer "$scratch/stamp" -type f -print 2>/dev/null || true)
[ -z "$written" ] || fail "the installed window wrote into system folders: $written"
kept="$scratch/home/.config/rivivev-uvezi/rivivev-uvezi-demo.dat"
"${sudo[@]}" grep -q '^1' "$kept" || fail "the language picked was not kept in $kept"
echo "kept in the user's folder, nothing under /usr"

echo "== remove"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq rivivev-uvezi >/dev/null
left=""
while IFS= read -r path; do
  # Shared folders such as /usr/share/man belong to other packages too.
  if [ -f "$path" ] || { [ -L "$path" ] && [ ! -d "$path" ]; }; then left+="$path "; fi
done <<< "$installed"
[ -z "$left" ] || fail "left behind: $left"
dpkg -s rivivev-uvezi >/dev/null 2>&1 && fail "the package is still known to dpkg"
echo "package check passed: $(basename "$deb")"
