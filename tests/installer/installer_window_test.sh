#!/usr/bin/env bash
# The installer's window on the virtual display, driven like a person would:
# the "Install" state is photographed, a click on the button installs, the
# "REBOOT YOUR SYSTEM" box appears and is answered; then the "Remove" state
# is photographed, the window closed, and the product removed unattended.
#   installer_window_test.sh INSTALLER.exe OUTPUT_DIR
# Runs inside a Wine session (DISPLAY set, warm wineserver).
set -euo pipefail
exe=$1 out=$2
mkdir -p "$out"
wine=/usr/lib/wine/wine64

# The X window of a Wine window whose title matches; waits up to 60 s.
find_window() {
  local id=""
  for _ in $(seq 1 300); do
    # The newest match: a window of an earlier run may linger a moment.
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n | tail -n 1 || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "installer test: no window named '$1'" >&2
  return 1
}

# Clicks the middle of the button: client (w - 170, h + 50) with the skin
# w × h = 900 × 424, below a frame and caption that Wine draws itself.
click_button() {
  local id=$1 width height border caption
  eval "$(xdotool getwindowgeometry --shell "$id")"
  width=$WIDTH height=$HEIGHT
  border=$(( (width - 900) / 2 ))
  caption=$(( height - 524 - 2 * border ))
  xdotool mousemove --window "$id" $(( border + 730 )) $(( border + caption + 474 ))
  sleep 0.3
  xdotool click --window "$id" 1
}

# Start clean: nothing installed.
"$wine" "$exe" -h -u >/dev/null 2>&1 </dev/null || true

"$wine" "$exe" >"$out/installer.log" 2>&1 </dev/null &
pid=$!
window=$(find_window '^Tarnwell Brindlemoor Installation \(Version 1\.0\.3\.5\)$')
sleep 3
import -window "$window" "$out/installer_install.png"
click_button "$window"
box=$(find_window '^REBOOT YOUR SYSTEM$')
sleep 0.5
import -window "$box" "$out/installer_reboot.png"
xdotool key --window "$box" Return
wait "$pid" || true

"$wine" "$exe" >"$out/installer.log" 2>&1 </dev/null &
pid=$!
window=$(find_window '^Tarnwell Brindlemoor Installation')
sleep 3
import -window "$window" "$out/installer_remove.png"
# Closed like a person would (Alt+F4), then removed unattended.
xdotool key --window "$window" alt+F4 2>/dev/null || true
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill "$pid" 2>/dev/null || true
wait "$pid" || true
"$wine" "$exe" -h -u >/dev/null 2>&1 </dev/null

for state in install reboot remove; do
  [[ -s "$out/installer_$state.png" ]] || { echo "installer test: no picture of $state"; exit 1; }
done
echo "installer window: pictures in $out"
