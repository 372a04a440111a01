#!/usr/bin/env bash
# The installer's window on the virtual display, driven like a person would:
# the "Install" state is photographed, a click on the button installs, the
# "REBOOT YOUR SYSTEM" box appears and is answered; then the "Remove" state
# is photographed and a click removes the product again.
#   installer_window_test.sh INSTALLER.exe OUTPUT_DIR
# Runs inside a Wine session (DISPLAY set, warm wineserver).
set -euo pipefail
exe=$1 out=$2
mkdir -p "$out"
wine=/usr/lib/wine/wine64

# The X window of a Wine window whose title matches; waits up to 30 s.
find_window() {
  local id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
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
sleep 1.5
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
sleep 1.5
import -window "$window" "$out/installer_remove.png"
click_button "$window"
# The uninstall shows its own restart message under the same caption.
box=$(find_window '^REBOOT YOUR SYSTEM$')
sleep 0.5
import -window "$box" "$out/installer_removed.png"
xdotool key --window "$box" Return
wait "$pid" || true

for state in install reboot remove removed; do
  [[ -s "$out/installer_$state.png" ]] || { echo "installer test: no picture of $state"; exit 1; }
done
echo "installer window: pictures in $out"
