# Sourced by the Wine scripts: sets `wine` and `wineserver` to the 64-bit
# Wine loader and its server, and `wine_marlett` to Wine's own Marlett font
# (empty when missing). Debian keeps them in /usr/lib/wine/ (its
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

# Wine draws the caption buttons with Marlett, which Debian ships in
# /usr/share/wine/fonts (fonts-wine); Wine 8 as packaged there does not load
# fonts from that folder, only from the prefix's C:\windows\Fonts and
# fontconfig's folders, so a prefix gets a copy (see copy_marlett).
wine_marlett=""
for candidate in /usr/share/wine/fonts/marlett.ttf /usr/local/share/wine/fonts/marlett.ttf; do
  if [[ -f "$candidate" ]]; then
    wine_marlett=$candidate
    break
  fi
done

# Gives the prefix $WINEPREFIX Wine's Marlett font, so windows show real
# caption buttons instead of the letters that stand for them.
copy_marlett() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [[ -n "$wine_marlett" && -d "$fonts" ]]; then
    cp "$wine_marlett" "$fonts/marlett.ttf"
  fi
}
