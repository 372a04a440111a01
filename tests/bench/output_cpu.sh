#!/usr/bin/env bash
# make bench's CPU measurement of the playing program for each output choice
# (output_cpu_bench.cpp), under Wine, with the ALSA device paced_capture
# offered to Wine and consuming in real time through pace.py.
#   output_cpu.sh BUILD_DIR      (build/win32 or build/win64, already built)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
if [[ "${WINE_SESSION:-}" != "$build" ]]; then
  exec "$root/scripts/wine-session.sh" "$build" "$0" "$@"
fi
source "$root/scripts/wine-paths.sh"
key='HKCU\Software\Wine\Drivers\winealsa.drv'
"$wine" reg add "$key" /v ALSAOutputDevices /t REG_MULTI_SZ /d paced_capture /f >/dev/null 2>&1
export AUDIO_PACER="|python3 $here/pace.py"
set +e
"$wine" "$build/tests/bench/output_cpu_bench.exe" 2>/dev/null
status=$?
set -e
"$wine" reg delete "$key" /v ALSAOutputDevices /f >/dev/null 2>&1
exit $status
