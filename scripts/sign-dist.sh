#!/usr/bin/env bash
# Signs the deliverables that scripts/dist.sh put in a folder, when a
# certificate is given (`make dist` runs it after dist.sh):
#   SIGN_PFX=file.pfx SIGN_PASSWORD_FILE=file [SIGN_TIMESTAMP_URL=url] \
#     scripts/sign-dist.sh DIST_DIR
# Generator.exe and BrindlemoorSetup.exe are signed in place (scripts/sign.sh:
# SHA-256, the pfx's chain, each signature verified), after dist.sh has
# stripped them and the installer carries its package; then the
# Generator.exe inside Generator.zip is replaced by the signed one, the other
# members left as they are. Without SIGN_PFX and SIGN_PASSWORD_FILE the
# folder stays unsigned and one line says so.
set -euo pipefail
if [[ $# -ne 1 ]]; then
  echo "usage: SIGN_PFX=file.pfx SIGN_PASSWORD_FILE=file [SIGN_TIMESTAMP_URL=url] $0 DIST_DIR" >&2
  exit 2
fi
dist_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
pfx=${SIGN_PFX:-}
password_file=${SIGN_PASSWORD_FILE:-}
timestamp_url=${SIGN_TIMESTAMP_URL:-}

if [[ -z "$pfx" && -z "$password_file" ]]; then
  echo "dist: not signed (to sign: make dist SIGN_PFX=file.pfx SIGN_PASSWORD_FILE=file)"
  exit 0
fi
if [[ -z "$pfx" || -z "$password_file" ]]; then
  echo "dist: signing needs both SIGN_PFX and SIGN_PASSWORD_FILE" >&2
  exit 2
fi

options=()
[[ -n "$timestamp_url" ]] && options+=(--timestamp-url "$timestamp_url")
signed=()
# The descriptions are the programs' own FileDescription lines, which the
# administrator prompt shows as the program's name.
for entry in "Generator.exe:Generator - audio test-signal generator" \
             "BrindlemoorSetup.exe:Tarnwell Brindlemoor Installer"; do
  exe=${entry%%:*}
  [[ -f "$dist_dir/$exe" ]] || continue
  "$here/sign.sh" --name "${entry#*:}" "${options[@]}" "$pfx" "$password_file" "$dist_dir/$exe"
  signed+=("$exe")
done
if [[ ${#signed[@]} -eq 0 ]]; then
  echo "dist: nothing to sign in $dist_dir" >&2
  exit 1
fi

if [[ -f "$dist_dir/Generator.zip" ]]; then
  python3 - "$dist_dir" Generator.zip "${signed[@]}" <<'EOF'
"""Rewrites the zip with each signed program in place of its old member."""
import os
import sys
import zipfile

folder, zip_name, *signed = sys.argv[1:]
zip_path = os.path.join(folder, zip_name)
with zipfile.ZipFile(zip_path) as old:
    members = [(info, old.read(info)) for info in old.infolist()]
new_path = zip_path + ".new"
with zipfile.ZipFile(new_path, "w") as new:
    for info, data in members:
        if info.filename in signed:
            path = os.path.join(folder, info.filename)
            compress_type = info.compress_type
            info = zipfile.ZipInfo.from_file(path, info.filename)
            info.compress_type = compress_type
            with open(path, "rb") as f:
                data = f.read()
        new.writestr(info, data)
with zipfile.ZipFile(new_path) as check:
    for name in signed:
        if name in check.namelist():
            with open(os.path.join(folder, name), "rb") as f:
                if check.read(name) != f.read():
                    sys.exit(f"dist: {zip_name} does not hold the signed {name}")
os.replace(new_path, zip_path)
EOF
  echo "dist: $dist_dir/Generator.zip holds the signed Generator.exe"
fi
