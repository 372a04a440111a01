#!/usr/bin/env bash
# Runs a command inside a Wine session of a build tree:
#   scripts/wine-session.sh BUILD_DIR COMMAND [ARGS...]
#
# The session is the build tree's private prefix and HOME (created once), an
# Xvfb display of its own when DISPLAY is unset, the ALSA file device that
# lets tests read back what a program played (AUDIO_CAPTURE names the file;
# scripts/alsa-capture.conf is the session's whole ALSA configuration),
# and a warm wineserver for the whole run. Everything is torn down afterwards,
# the display by its process id. Wine's output goes to files under
# BUILD_DIR/wine/logs: a daemonised wineserver would keep a pipe open.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 BUILD_DIR COMMAND [ARGS...]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
shift

wine_dir="$build_dir/wine"
mkdir -p "$wine_dir/home" "$wine_dir/logs" "$wine_dir/tmp"
export WINEPREFIX="$wine_dir/prefix"
export HOME="$wine_dir/home"
export WINEDEBUG=-all
export WINE_SESSION="$build_dir"
export AUDIO_CAPTURE="${AUDIO_CAPTURE:-/dev/null}"
# The pacer of the devices that consume in real time (alsa-capture.conf).
AUDIO_PACE_SCRIPT="$(cd "$(dirname "$0")/.." && pwd)/tests/bench/pace.py"
export AUDIO_PACE_SCRIPT
source "$(dirname "$0")/wine-paths.sh"

# The session's own ALSA configuration, whatever the machine has installed.
export ALSA_CONFIG_PATH="$(cd "$(dirname "$0")" && pwd)/alsa-capture.conf"
rm -f "$HOME/.asoundrc"  # left by older sessions; no longer read

xvfb_pid=""
cleanup() {
  "$wineserver" -k >>"$wine_dir/logs/wineserver.log" 2>&1 || true
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
  display_file="$wine_dir/tmp/display.$$"
  : > "$display_file"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" \
    >"$wine_dir/logs/xvfb.log" 2>&1 &
  xvfb_pid=$!
  # Up to 10 s on the clock.
  end=$(( $(date +%s) + 10 ))
  while (( $(date +%s) < end )); do
    [[ -s "$display_file" ]] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      echo "wine-session: Xvfb did not start (see $wine_dir/logs/xvfb.log)" >&2
      exit 1
    fi
    sleep 0.1
  done
  if [[ ! -s "$display_file" ]]; then
    echo "wine-session: Xvfb gave no display number" >&2
    exit 1
  fi
  export DISPLAY=":$(tr -dc '0-9' < "$display_file")"
  rm -f "$display_file"
fi

# The prefix is made once per build tree; the lock keeps two sessions from
# making it at the same time.
(
  flock 9
  if [[ ! -f "$WINEPREFIX/.made" ]]; then
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init \
      >"$wine_dir/logs/wineboot.log" 2>&1 </dev/null
    "$wineserver" -w
    touch "$WINEPREFIX/.made"
  fi
  if [[ ! -f "$WINEPREFIX/.settings-3" ]]; then
    copy_marlett
    # Audio through ALSA, so that the file device above hears the program.
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f \
      >>"$wine_dir/logs/wineboot.log" 2>&1 </dev/null
    # There is no window manager on the virtual display: unmanaged windows,
    # or every hide waits two seconds for a manager that never answers.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >>"$wine_dir/logs/wineboot.log" 2>&1 </dev/null
    "$wineserver" -w
    touch "$WINEPREFIX/.settings-3"
  fi
) 9>"$wine_dir/prefix.lock"

"$wineserver" -p >>"$wine_dir/logs/wineserver.log" 2>&1 </dev/null
# Starting the prefix's own services once here gives them files, not the
# caller's pipes, as their output.
"$wine" cmd /c exit >>"$wine_dir/logs/warmup.log" 2>&1 </dev/null || true

set +e
"$@"
status=$?
set -e
exit "$status"
