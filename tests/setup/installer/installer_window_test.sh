#!/usr/bin/env bash
# The installer's window on the virtual display, driven like a person would,
# and checked in what it shows:
#   - "Install" state: the O/S line sits at the top of its rectangle (what the
#     window draws over the skin is found by comparing the picture with the
#     skin bitmap), the button has its normal white look;
#   - a click installs; the "REBOOT YOUR SYSTEM" box stays up until answered,
#     and the program then ends with 0;
#   - "Remove" state: the button's label differs from the "Install" one, the
#     O/S line is the same; Alt+F4 ends the program by itself with 0;
#   - a removal that fails (the program without its package) shows its
#     failure box, which stays up until answered; the program then ends
#     with -1 and the product is still installed.
#   installer_window_test.sh INSTALLER.exe NO_PACKAGE.exe SKIN.bmp OUTPUT_DIR
# Runs inside a Wine session (DISPLAY set, warm wineserver).
set -euo pipefail
exe=$1 no_package=$2 skin=$3 out=$4
mkdir -p "$out"
source "$(dirname "$0")/../../../scripts/wine-paths.sh"
skin_width=900 skin_height=424

fail() { echo "installer test: $*" >&2; exit 1; }

# Milliseconds on the clock: every wait below is measured by it.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The X window of a Wine window whose title matches; waits up to 60 s.
find_window() {
  local id="" end=$(( $(now_ms) + 60000 ))
  while (( $(now_ms) < end )); do
    # The newest match: a window of an earlier run may linger a moment.
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | sort -n | tail -n 1 || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.2
  done
  fail "no window named '$1'"
}

# Waits up to $2 seconds for process $1 to end and sets `status` to its exit
# status, or fails. Called in this shell, never in a $(...) subshell: only
# the shell that started a process can wait for one that ends meanwhile.
wait_end() {
  local pid=$1 limit=$2
  local end=$(( $(now_ms) + limit * 1000 ))
  status=0
  while (( $(now_ms) < end )); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" || status=$?; return 0; }
    sleep 0.2
  done
  kill -0 "$pid" 2>/dev/null || { wait "$pid" || status=$?; return 0; }
  kill "$pid" 2>/dev/null || true
  fail "the program did not end within $limit s"
}

# A window stays visible for two seconds (it is not closed behind its back).
stays_up() {
  sleep 2
  xdotool search --onlyvisible --name "$2" 2>/dev/null | grep -qx "$1" ||
    fail "the window '$2' vanished before it was answered"
}

# Client origin in picture $1: "x y". Wine draws the frame and caption
# itself, and their sizes are not the ones the window computed its size from,
# so the origin is found where a patch of the skin (never drawn over) matches.
client_origin() {
  local patch="$out/skin_patch.png" x y differing
  convert "$skin" -crop 200x100+600+20 +repage "$patch"
  for y in $(seq 10 40); do
    for x in $(seq 0 8); do
      differing=$(convert "$1" -crop "200x100+$((600 + x))+$((20 + y))" +repage png:- |
        compare -metric AE -fuzz 5% - "$patch" null: 2>&1 || true)
      [[ ${differing%% *} == 0 ]] && { echo "$x $y"; return 0; }
    done
  done
  fail "no skin in $1"
}

# The box around what the window drew over the skin: "width height x y".
# The window's client area is a few pixels narrower than the skin under
# Wine's frame (see client_origin): the right-most columns are left out.
drawn_over_skin() {
  local x=$2 y=$3 area="$(( skin_width - 10 ))x${skin_height}"
  convert "$1" -crop "$area+$x+$y" +repage \( "$skin" -crop "$area+0+0" +repage \) \
    -compose difference -composite -colorspace gray -threshold 25% \
    -format '%@' info: | tr 'x+' '  '
}

# Colour of one client pixel: "r,g,b".
pixel() {
  convert "$1" -crop "1x1+$(( $2 ))+$(( $3 ))" +repage -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}

# Checks the O/S line: drawn in the rectangle from (20, 200), one line at its top.
check_os_line() {
  local box width height x y
  box=$(drawn_over_skin "$1" "$2" "$3")
  read -r width height x y <<<"$box"
  (( x >= 20 && y >= 200 && y <= 206 && height <= 24 && width > 20 )) ||
    fail "the O/S line is drawn at $box (width height x y), not on one line at (20, 200)"
  echo "$box"
}

# Clicks the middle of the button of window $1, whose picture is $2.
click_button() {
  local x y
  read -r x y <<<"$(client_origin "$2")"
  xdotool mousemove --window "$1" $(( x + skin_width - 170 )) $(( y + skin_height + 50 ))
  sleep 0.3
  xdotool click --window "$1" 1
}

# Start clean: nothing installed.
"$wine" "$exe" -h -u >/dev/null 2>&1 </dev/null || fail "the unattended removal failed"

# --- Install state, click, restart box ---------------------------------------
"$wine" "$exe" >"$out/installer.log" 2>&1 </dev/null &
pid=$!
window=$(find_window '^Tarnwell Brindlemoor Installation \(Version 1\.0\.3\.5\)$')
sleep 3
import -window "$window" "$out/installer_install.png"
read -r cx cy <<<"$(client_origin "$out/installer_install.png")"
os_install=$(check_os_line "$out/installer_install.png" "$cx" "$cy")
# Normal look: white inside the button's rounded rectangle, left of the label.
[[ $(pixel "$out/installer_install.png" "cx + skin_width - 310" "cy + skin_height + 50") == 255,255,255 ]] ||
  fail "the idle button is not white"
click_button "$window" "$out/installer_install.png"
box=$(find_window '^REBOOT YOUR SYSTEM$')
stays_up "$box" '^REBOOT YOUR SYSTEM$'
import -window "$box" "$out/installer_reboot.png"
xdotool key Return
wait_end "$pid" 30
[[ $status == 0 ]] || fail "the install run ended with $status"

# --- Remove state, closed with Alt+F4 -----------------------------------------
"$wine" "$exe" >"$out/installer.log" 2>&1 </dev/null &
pid=$!
window=$(find_window '^Tarnwell Brindlemoor Installation')
sleep 3
import -window "$window" "$out/installer_remove.png"
read -r rx ry <<<"$(client_origin "$out/installer_remove.png")"
os_remove=$(check_os_line "$out/installer_remove.png" "$rx" "$ry")
[[ $os_remove == "$os_install" ]] || fail "the O/S line moved: $os_install, then $os_remove"
# The button's label: "Install" before, "Remove" now.
label() {
  convert "$1" -crop "300x60+$(( $2 + skin_width - 320 ))+$(( $3 + skin_height + 20 ))" +repage "$4"
}
label "$out/installer_install.png" "$cx" "$cy" "$out/label_install.png"
label "$out/installer_remove.png" "$rx" "$ry" "$out/label_remove.png"
differing=$(compare -metric AE "$out/label_install.png" "$out/label_remove.png" null: 2>&1 || true)
(( ${differing%% *} > 200 )) || fail "the button label did not change (${differing} pixels differ)"
xdotool key alt+F4
wait_end "$pid" 20
[[ $status == 0 ]] || fail "the window closed with Alt+F4 ended with $status"

# --- A removal that fails: its box first, then the end -------------------------
"$wine" "$no_package" -u >"$out/installer.log" 2>&1 </dev/null &
pid=$!
box=$(find_window '^Brindlemoor Uninstallation Error$')
stays_up "$box" '^Brindlemoor Uninstallation Error$'
import -window "$box" "$out/installer_remove_failed.png"
xdotool key Return
wait_end "$pid" 20
[[ $status == 255 ]] || fail "the failed removal ended with $status, not -1"

"$wine" "$exe" -h -u >/dev/null 2>&1 </dev/null || fail "the unattended removal failed"
echo "installer window: checked; pictures in $out"
