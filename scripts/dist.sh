#!/usr/bin/env bash
# Copies the 32-bit deliverables of a win32 build tree into a folder:
#   scripts/dist.sh BUILD_DIR DIST_DIR
# strips their symbols and debug information (the build tree keeps them), checks that each
# imports only Windows system libraries, puts Generator's readme.txt and
# license.txt beside it and packs the three into Generator.zip.
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 BUILD_DIR DIST_DIR    (for example build/win32 dist)" >&2
  exit 2
fi
build_dir=$1
dist_dir=$2
mkdir -p "$dist_dir"
found=0
for exe in Generator.exe BrindlemoorSetup.exe; do
  path=$(find "$build_dir" -name "$exe" -not -path '*/CMakeFiles/*' | head -n 1)
  [[ -n "$path" ]] || continue
  found=1
  i686-w64-mingw32-strip --strip-all -o "$dist_dir/$exe" "$path"
  if i686-w64-mingw32-objdump -p "$dist_dir/$exe" | grep 'DLL Name' | grep -i -E 'libstdc|libgcc|libwinpthread'; then
    echo "dist: $exe depends on a MinGW runtime DLL; it must be linked statically" >&2
    exit 1
  fi
  echo "dist: $dist_dir/$exe"
done
if [[ $found -eq 0 ]]; then
  echo "dist: no deliverable is built yet (Generator.exe, BrindlemoorSetup.exe)" >&2
  exit 1
fi
if [[ -f "$dist_dir/Generator.exe" ]]; then
  root=$(cd "$(dirname "$0")/.." && pwd)
  # Windows text files: CRLF line ends, so any editor shows the lines.
  sed -e 's/$/\r/' "$root/resources/generator/readme.txt" >"$dist_dir/readme.txt"
  sed -e 's/$/\r/' "$root/LICENSE" >"$dist_dir/license.txt"
  rm -f "$dist_dir/Generator.zip"
  (cd "$dist_dir" && python3 -m zipfile -c Generator.zip Generator.exe readme.txt license.txt)
  echo "dist: $dist_dir/Generator.zip"
fi
