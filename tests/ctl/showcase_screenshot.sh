#!/usr/bin/env bash
# Renders the control showcase under Wine and converts its screenshot to PNG:
#   showcase_screenshot.sh EMULATOR BUILD_DIR SHOWCASE.exe OUTPUT.png [WHAT]
set -euo pipefail
emulator=$1 build=$2 exe=$3 png=$4 what=${5:-}
bmp_unix="${png%.png}.bmp"
bmp_windows="Z:$(tr '/' '\\' <<<"$bmp_unix")"
rm -f "$bmp_unix" "$png"
"$emulator" "$build" "$exe" "$bmp_windows" $what
convert "$bmp_unix" "$png"
# The picture is not empty: it holds many colours.
colours=$(identify -format '%k' "$png")
[[ $colours -gt 50 ]] || { echo "screenshot has only $colours colours"; exit 1; }
echo "screenshot: $png ($colours colours)"
