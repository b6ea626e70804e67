#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows download (scripts/package-windows.sh) and checks it as
# a user gets it, under Wine in a prefix of its own: the installer runs
# silently; the installed command line reads the demo servo and the demo
# window starts (offscreen); the uninstaller runs silently and leaves
# nothing of the program behind: no folder, Start-menu entry or registry
# key. The portable zip's command line runs too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/package-windows.sh >/dev/null
build=$PWD/build-windows-i686
installer=$(ls "$build"/rivivev-uvezi-*-win32.exe)
zip=$(ls "$build"/rivivev-uvezi-*-win32.zip)

prefix=$PWD/build-windows-install-wine
rm -rf "$prefix"
source scripts/wine-env.sh "$prefix"
# The installer and the programs it installs are 32-bit.
if ! runs_32bit_programs; then
  echo "NOTE: 32-bit Wine cannot start here (not installed, or a kernel without 32-bit programs), so the 32-bit installer cannot be tried" \
       "under Wine here; the download was built: $installer $zip" >&2
  exit 0
fi
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# What of the program lies in the prefix: files and folders by name.
files_left() { find "$prefix/drive_c" -iname '*rivivev*' -print; }
# Registry keys and values that name it; Wine's own never do. The server
# writes the registry to its files as it ends.
registry_left() {
  wineserver -k >/dev/null 2>&1 || true
  [ -f "$prefix/system.reg" ] && [ -f "$prefix/user.reg" ] || fail "Wine wrote no registry files"
  grep -il 'rivivev' "$prefix/system.reg" "$prefix/user.reg" || true
}
[ -z "$(files_left)$(registry_left)" ] || fail "the new prefix already holds the program"
# Nothing may reach the host's own menus (entries an earlier Wine left
# there are not this run's doing).
host_menus() {
  local data=${XDG_DATA_HOME:-$HOME/.local/share} config=${XDG_CONFIG_HOME:-$HOME/.config}
  find "$data/applications" "$data/desktop-directories" "$data/icons" "$config/menus" \
    \( -iname '*rivivev*' -o -name 'wine-*.menu' \) -print 2>/dev/null || true
}
menus_before=$(host_menus)

# The installer runs to its end before wine returns.
wine "$installer" /S
# A 32-bit installer goes to the 32-bit Program Files of a 64-bit prefix.
installed=$(find "$prefix/drive_c" -maxdepth 2 -type d -name 'Rivivev Uvezi' -path '*Program Files*' | head -n 1)
[ -n "$installed" ] || fail "the installer left no folder under Program Files"
echo "installed in ${installed#"$prefix/"}"
for file in bin/rivivev-uvezi.exe bin/rivivev-uvezi-demo.exe bin/rivivev-uvezi-cli.exe bin/Qt6Widgets.dll \
            bin/platforms/qwindows.dll bin/translations/qtbase_zh_TW.qm bin/translations/qtbase_zh_CN.qm \
            README.txt LICENSE.txt THIRD-PARTY.txt licenses/LGPL-3.txt licenses/Qt-translations-copyright.txt \
            Uninstall.exe; do
  [ -f "$installed/$file" ] || fail "$file was not installed"
done
links=$(find "$prefix/drive_c" -path '*Start Menu*' -iname '*.lnk' -path '*Rivivev Uvezi*' | sort)
for link in "Rivivev Uvezi.lnk" "Rivivev Uvezi demo.lnk" "Read me.lnk" "Uninstall.lnk"; do
  grep -qF "/$link" <<<"$links" || fail "no Start-menu entry $link"
done
# The registry, as the server wrote it out: this also shows that the check
# after uninstalling has something to find.
[ -n "$(registry_left)" ] || fail "the installer wrote nothing of the program into the registry"
grep -q 'Uninstall\\\\Rivivev Uvezi\]' "$prefix/system.reg" || fail "no entry in the list of installed programs"

# The installed programs, started as a user would.
json=$(wine "$installed/bin/rivivev-uvezi-cli.exe" --demo read --json)
grep -q '"neutral": *1500' <<<"$json" || fail "the installed command line read: $json"
echo "installed command line: --demo read --json gave neutral 1500"
WINEQT_QPA_PLATFORM=offscreen wine "$installed/bin/rivivev-uvezi-demo.exe" &
demo=$!
sleep 10
kill -0 "$demo" 2>/dev/null || { wait "$demo" && status=0 || status=$?; fail "the installed demo window ended by itself (exit $status)"; }
kill "$demo"; wait "$demo" 2>/dev/null || true
echo "installed demo window: still running after 10 s, closed"

# The uninstaller hands over to a copy of itself in the temporary folder
# and returns at once; the copy gets a minute to finish.
wine "$installed/Uninstall.exe" /S
for _ in $(seq 60); do
  left=$(files_left)
  [ -z "$left" ] && break
  sleep 1
done
left+=$(registry_left)
[ -z "$left" ] || fail "the uninstaller left: $left"
[ "$(host_menus)" = "$menus_before" ] || fail "Wine wrote into the host's menus: $(host_menus)"
echo "uninstalled: nothing of the program is left"

# The portable zip, unpacked to a folder of its own.
portable=$(mktemp -d)
unzip -q "$zip" -d "$portable"
json=$(wine "$portable"/rivivev-uvezi-*-win32/bin/rivivev-uvezi-cli.exe --demo read --json)
rm -rf "$portable"
grep -q '"neutral": *1500' <<<"$json" || fail "the zip's command line read: $json"
echo "portable zip: --demo read --json gave neutral 1500"
