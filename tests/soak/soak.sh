#!/usr/bin/env bash
# The soak of Generator (generator_soak.cpp) for one build tree:
#   tests/soak/soak.sh BUILD_DIR [SECONDS [SEED]]
#
# SECONDS defaults to an hour, SEED to one taken from the clock (the summary
# names it, so a run can be repeated). The program is BUILD_DIR's
# Generator.exe, or SOAK_PROGRAM's (dist/Generator.exe, say). It runs in a
# Wine session of its own (BUILD_DIR/soak: prefix, HOME, wineserver), from a
# start folder made new for the run, with a fresh registry key of its own,
# playing to the ALSA device that consumes at the pace of a sound card
# (tests/bench/pace.py), and to the session's silent file device as its
# second output. Evidence of a hang goes to BUILD_DIR/soak/evidence.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-3600}
seed=${3:-$(( $(date +%s) % 1000000007 ))}
session="$build/soak"
mkdir -p "$session"
if [[ "${WINE_SESSION:-}" != "$session" ]]; then
  # No desktop menus from Wine, and the panel's web and mail items open
  # nothing on the host (Wine's browser launcher is off: the shell's open
  # fails, as on a system without a browser).
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;winebrowser.exe=d"
  exec "$root/scripts/wine-session.sh" "$session" "$0" "$@"
fi
source "$root/scripts/wine-paths.sh"

program=${SOAK_PROGRAM:-$build/generator/app/Generator.exe}
soak="$build/tests/soak/generator_soak.exe"
[[ -f "$program" ]] || { echo "soak: no program at $program" >&2; exit 2; }
[[ -f "$soak" ]] || { echo "soak: no soak program at $soak" >&2; exit 2; }
run="$session/run"
evidence="$session/evidence"
rm -rf "$run"
mkdir -p "$run/program" "$evidence"
# A copy, with the documents beside it, so that a build meanwhile changes
# nothing under the running soak.
cp "$program" "$run/program/Generator.exe"
for document in readme.txt license.txt; do
  [[ -f "$(dirname "$program")/$document" ]] && cp "$(dirname "$program")/$document" "$run/program/"
done
cp "$soak" "$run/program/generator_soak.exe"
program="$run/program/Generator.exe"
soak="$run/program/generator_soak.exe"
windows() { echo "Z:${1//\//\\}"; }

"$wine" reg delete 'HKCU\Quenby_Audio' /f >/dev/null 2>&1 || true
devices='HKCU\Software\Wine\Drivers\winealsa.drv'
"$wine" reg add "$devices" /v ALSAOutputDevices /t REG_MULTI_SZ /d 'paced_capture\0default' /f \
  >/dev/null 2>&1
export AUDIO_PACER="|python3 $root/tests/bench/pace.py"
export AUDIO_CAPTURE=/dev/null

echo "soak: $(basename "$build") program $program, $seconds s, seed $seed"
status=0
"$wine" "$soak" --program "$(windows "$program")" --dir "$(windows "$run")" \
  --evidence "$(windows "$evidence")" --seconds "$seconds" --seed "$seed" || status=$?
"$wine" reg delete "$devices" /v ALSAOutputDevices /f >/dev/null 2>&1 || true
exit "$status"
