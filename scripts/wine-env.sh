# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: a Wine prefix in the given folder for the Windows builds, made
# once and kept running while the caller works.
#   source scripts/wine-env.sh FOLDER
export WINEPREFIX="$1"
export WINEDEBUG=-all
# No .NET or browser engine: nothing here needs them, and asking for them
# would stop prefix creation at a download dialog. No menu builder: it would
# copy an installer's Start-menu entries and file types into the host's own
# desktop menus, outside the prefix, where nothing takes them away again.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LANG=C.UTF-8
export PATH="/usr/lib/wine:$PATH"
wineserver -p 60 2>/dev/null || true  # already running is fine
wine64 cmd /c exit >/dev/null 2>&1 || true

# Whether this machine's kernel runs 32-bit programs, which 32-bit Wine
# (and so every 32-bit Windows program here) needs; some virtual machines'
# kernels are built without it.
runs_32bit_programs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}
