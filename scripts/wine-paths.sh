# Sourced by the Wine scripts: sets `wine` and `wineserver` to the 64-bit
# Wine loader and its server. Debian keeps them in /usr/lib/wine/ (its
# /usr/bin/wine is a wrapper script); elsewhere they are looked up on PATH.
# The 64-bit loader hands a 32-bit program to the 32-bit one by itself.
if [[ -x /usr/lib/wine/wine64 ]]; then
  wine=/usr/lib/wine/wine64
else
  wine=$(command -v wine64 || command -v wine || true)
fi
if [[ -x /usr/lib/wine/wineserver ]]; then
  wineserver=/usr/lib/wine/wineserver
else
  wineserver=$(command -v wineserver || true)
fi
if [[ -z "$wine" || -z "$wineserver" ]]; then
  echo "no Wine found (Debian: apt-get install wine64; or run scripts/install-deps.sh)" >&2
  exit 1
fi
