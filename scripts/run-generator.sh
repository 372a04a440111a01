#!/usr/bin/env bash
# Starts the win64 build of Generator under Wine from a start directory in
# the build tree (its current-set file lands there):
#   scripts/run-generator.sh BUILD_DIR
# On the user's display it runs until closed, in a Wine prefix of its own with
# Wine's normal audio driver (PulseAudio or ALSA, as the desktop has it) and
# the user's HOME and window manager, so it is heard. GENERATOR_AUDIO_DRIVER
# (pulse, alsa, ...) picks Wine's driver instead. Without a display it runs on
# a virtual one (or with GENERATOR_SCREENSHOT=1 set), with the tests' silent
# file device, saves a screenshot of the window as a PNG, says where, and ends.
set -euo pipefail
build_dir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
exe="$build_dir/generator/Generator.exe"
start_dir="$build_dir/run"
mkdir -p "$start_dir"
# "info..." and "License..." open these from the start directory.
cp "$here/../resources/generator/readme.txt" "$start_dir/readme.txt"
cp "$here/../LICENSE" "$start_dir/license.txt"
[[ -f "$exe" ]] || { echo "run: $exe is not built" >&2; exit 1; }

if [[ -n "${DISPLAY:-}" && -z "${GENERATOR_SCREENSHOT:-}" ]]; then
  # Not the test session: that one sends all sound to a capture file.
  export WINEPREFIX="$build_dir/wine/desktop-prefix"
  export WINEDEBUG=-all
  mkdir -p "$build_dir/wine/logs"
  if [[ ! -f "$WINEPREFIX/.made" ]]; then
    echo "run: preparing a Wine prefix for the desktop (once, a few seconds)"
    /usr/lib/wine/wine64 wineboot --init >"$build_dir/wine/logs/desktop-wineboot.log" 2>&1 </dev/null
    /usr/lib/wine/wineserver -w
    touch "$WINEPREFIX/.made"
  fi
  if [[ -n "${GENERATOR_AUDIO_DRIVER:-}" ]]; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Audio \
      /d "$GENERATOR_AUDIO_DRIVER" /f >>"$build_dir/wine/logs/desktop-wineboot.log" 2>&1 </dev/null
  else
    /usr/lib/wine/wine64 reg delete 'HKCU\Software\Wine\Drivers' /v Audio /f \
      >>"$build_dir/wine/logs/desktop-wineboot.log" 2>&1 </dev/null || true
  fi
  cd "$start_dir"
  exec /usr/lib/wine/wine64 "$exe"
fi

# Virtual display: start, wait for the window, take its picture, close it.
png="$start_dir/generator.png"
cat > "$start_dir/screenshot.sh" <<INNER
#!/usr/bin/env bash
set -u
cd "$start_dir"
/usr/lib/wine/wine64 "$exe" >"$start_dir/generator.log" 2>&1 </dev/null &
for _ in \$(seq 1 100); do
  id=\$(xdotool search --name '^Generator\$' 2>/dev/null | head -n 1)
  [[ -n "\$id" ]] && break
  sleep 0.2
done
[[ -n "\${id:-}" ]] || { echo "run: the Generator window did not appear (see $start_dir/generator.log)" >&2; exit 1; }
sleep 2
import -window "\$id" "$png"
INNER
chmod +x "$start_dir/screenshot.sh"
env -u DISPLAY "$here/wine-session.sh" "$build_dir" "$start_dir/screenshot.sh"
echo "run: no display here, so Generator ran on a virtual display; its window is in $png"
