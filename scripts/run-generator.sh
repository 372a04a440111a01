#!/usr/bin/env bash
# Starts the Generator of a build tree (win32: the 32-bit deliverable, or
# win64) under Wine from a start directory in the build tree (its current-set
# file lands there), and says first which one it starts:
#   scripts/run-generator.sh [--build] BUILD_DIR
# --build configures and builds the tree's Generator first (its preset is the
# tree's name), the build's output going to BUILD_DIR/run/build.log, shown
# only when the build fails.
# On the user's display it runs until closed, in a Wine prefix of its own with
# Wine's normal audio driver (PulseAudio or ALSA, as the desktop has it) and
# the user's HOME and window manager, so it is heard. GENERATOR_AUDIO_DRIVER
# (pulse, alsa, ...) picks Wine's driver instead. Without a display it runs on
# a virtual one (or with GENERATOR_SCREENSHOT=1 set), with the tests' silent
# file device, saves a screenshot of the window as a PNG, closes the window
# as a user does (so the current-set file is saved), says where, and ends.
set -euo pipefail
build=0
if [[ "${1:-}" == "--build" ]]; then
  build=1
  shift
fi
if [[ $# -ne 1 ]]; then
  echo "usage: $0 [--build] BUILD_DIR    (for example build/win32)" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
if [[ $build -eq 1 ]]; then
  tree=$(basename "$1")
  case "$tree" in
    win32) echo "run: the 32-bit Generator.exe of $1, the program users get: building it" ;;
    win64) echo "run: the 64-bit Generator.exe of $1 (this kernel runs no 32-bit programs): building it" ;;
    *) echo "run: --build takes build/win32 or build/win64" >&2; exit 2 ;;
  esac
  mkdir -p "$1/run"
  if ! (cd "$here/.." && cmake --preset "$tree" && cmake --build --preset "$tree" --target Generator) \
      >"$1/run/build.log" 2>&1; then
    tail -n 40 "$1/run/build.log" >&2
    echo "run: the build failed (whole log: $1/run/build.log)" >&2
    exit 1
  fi
fi
[[ -d "$1" ]] || { echo "run: $1 is no build tree" >&2; exit 1; }
build_dir=$(cd "$1" && pwd)
source "$here/wine-paths.sh"
exe="$build_dir/generator/app/Generator.exe"
[[ -f "$exe" ]] || { echo "run: $exe is not built" >&2; exit 1; }

# The PE header's machine field says which program this is.
pe_offset=$(od -A n -t u4 -j 60 -N 4 "$exe" | tr -d ' ')
machine=$(od -A n -t x2 -j $((pe_offset + 4)) -N 2 "$exe" | tr -d ' ')
case "$machine" in
  014c) bits=32 ;;
  8664) bits=64 ;;
  *) echo "run: $exe is no x86 Windows program" >&2; exit 1 ;;
esac
echo "run: starting the $bits-bit Generator.exe of $build_dir"

start_dir="$build_dir/run"
mkdir -p "$start_dir"

if [[ -n "${DISPLAY:-}" && -z "${GENERATOR_SCREENSHOT:-}" ]]; then
  # Not the test session: that one sends all sound to a capture file.
  export WINEPREFIX="$build_dir/wine/desktop-prefix"
  export WINEDEBUG=-all
  mkdir -p "$build_dir/wine/logs"
  if [[ ! -f "$WINEPREFIX/.made" ]]; then
    echo "run: preparing a Wine prefix for the desktop (once, a few seconds)"
    "$wine" wineboot --init >"$build_dir/wine/logs/desktop-wineboot.log" 2>&1 </dev/null
    "$wineserver" -w
    touch "$WINEPREFIX/.made"
  fi
  copy_marlett
  if [[ -n "${GENERATOR_AUDIO_DRIVER:-}" ]]; then
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio \
      /d "$GENERATOR_AUDIO_DRIVER" /f >>"$build_dir/wine/logs/desktop-wineboot.log" 2>&1 </dev/null
  else
    "$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Audio /f \
      >>"$build_dir/wine/logs/desktop-wineboot.log" 2>&1 </dev/null || true
  fi
  cd "$start_dir"
  exec "$wine" "$exe"
fi

# Virtual display: start, wait for the window, take its picture, close it as
# a user does (Alt+F4 on the focused window), wait for the program to end.
png="$start_dir/generator.png"
cat > "$start_dir/screenshot.sh" <<INNER
#!/usr/bin/env bash
set -u
cd "$start_dir"
"$wine" "$exe" >"$start_dir/generator.log" 2>&1 </dev/null &
program=\$!
end=\$(( \$(date +%s) + 20 ))
while (( \$(date +%s) < end )); do
  id=\$(xdotool search --name '^Generator\$' 2>/dev/null | head -n 1)
  [[ -n "\$id" ]] && break
  sleep 0.2
done
[[ -n "\${id:-}" ]] || { echo "run: the Generator window did not appear (see $start_dir/generator.log)" >&2; exit 1; }
sleep 2
import -window "\$id" "$png"
xdotool windowfocus --sync "\$id" key alt+F4
end=\$(( \$(date +%s) + 10 ))
while (( \$(date +%s) < end )); do
  kill -0 "\$program" 2>/dev/null || exit 0
  sleep 0.2
done
kill -0 "\$program" 2>/dev/null || exit 0
echo "run: Generator did not close on Alt+F4 (see $start_dir/generator.log)" >&2
exit 1
INNER
chmod +x "$start_dir/screenshot.sh"
env -u DISPLAY "$here/wine-session.sh" "$build_dir" "$start_dir/screenshot.sh"
echo "run: no display here, so Generator ran on a virtual display; its window is in $png"
echo "run: it was closed as a user closes it; its settings are in $start_dir/qx_gene_current_set.def"
