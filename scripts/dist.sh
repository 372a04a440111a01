#!/usr/bin/env bash
# Copies the 32-bit deliverables of a win32 build tree into a folder:
#   scripts/dist.sh BUILD_DIR DIST_DIR
# strips their symbols and debug information (the build tree keeps them), checks what each
# imports (scripts/check-imports.py) and that the installer's payload takes no test
# hook (scripts/check-payload.sh), puts Generator's readme.txt and
# license.txt beside it and packs the three into Generator.zip.
set -euo pipefail
if [[ $# -ne 2 ]]; then
  echo "usage: $0 BUILD_DIR DIST_DIR    (for example build/win32 dist)" >&2
  exit 2
fi
build_dir=$1
dist_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dist_dir"
found=0
for exe in generator/app/Generator.exe setup/installer/BrindlemoorSetup.exe; do
  path="$build_dir/$exe"
  [[ -f "$path" ]] || continue
  found=1
  name=$(basename "$exe")
  i686-w64-mingw32-strip --strip-all -o "$dist_dir/$name" "$path"
  "$here/check-imports.py" "$dist_dir/$name" >/dev/null
  if [[ $name == BrindlemoorSetup.exe ]]; then
    "$here/check-payload.sh" "$build_dir/host/mkpackage" "$dist_dir/$name"
  fi
  echo "dist: $dist_dir/$name"
done
if [[ $found -eq 0 ]]; then
  echo "dist: no deliverable is built yet (Generator.exe, BrindlemoorSetup.exe)" >&2
  exit 1
fi
if [[ -f "$dist_dir/Generator.exe" ]]; then
  root=$(cd "$here/.." && pwd)
  # Windows text files: CRLF line ends, so any editor shows the lines.
  sed -e 's/$/\r/' "$root/resources/generator/readme.txt" >"$dist_dir/readme.txt"
  sed -e 's/$/\r/' "$root/LICENSE" >"$dist_dir/license.txt"
  rm -f "$dist_dir/Generator.zip"
  (cd "$dist_dir" && python3 -m zipfile -c Generator.zip Generator.exe readme.txt license.txt)
  echo "dist: $dist_dir/Generator.zip"
fi
