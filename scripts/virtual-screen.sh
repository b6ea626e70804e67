# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced: start_virtual_screen WIDTHxHEIGHT FOLDER starts an X server of its
# own on a free display with a window manager (which gives windows the
# focus), exports DISPLAY and adds both processes to the array pids, for the
# caller to end. FOLDER is a scratch folder of the caller's.
start_virtual_screen() {
  local size=$1 folder=$2
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$folder/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$folder/display" ] && break; sleep 0.1; done
  [ -s "$folder/display" ] || { echo "Xvfb did not start" >&2; return 1; }
  DISPLAY=":$(cat "$folder/display")"
  export DISPLAY
  # The window manager keeps its session and log in the scratch folder.
  mkdir -p "$folder/wm-home"
  HOME="$folder/wm-home" XDG_CACHE_HOME="$folder/wm-home/.cache" XDG_CONFIG_HOME="$folder/wm-home/.config" \
    openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 0.5
}
