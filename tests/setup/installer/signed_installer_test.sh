#!/usr/bin/env bash
# The programs signed the way `make dist` signs them (scripts/sign.sh), with a
# throwaway certificate made for this run (scripts/throwaway-certificate.sh):
#   - each signed copy verifies against the certificate's root, carries the
#     chain (signer and root) and a SHA-256 digest, and is refused against
#     another root;
#   - a copy with one byte changed in the middle of the signed part is
#     refused for its digest;
#   - the signed installer installs (-h -i) and removes (-h -u) under Wine,
#     each ending with 0, in a prefix of its own made new for this run; after
#     the install, the uninstaller copy in the product folder is byte for
#     byte the signed file, and after the removal the folder is gone.
#   signed_installer_test.sh [--no-wine] WORK_DIR INSTALLER.exe [PROGRAM.exe...]
# --no-wine leaves out the Wine part (`make test-signing` checks dist/'s
# 32-bit programs so, on any kernel). WORK_DIR is emptied first. Without
# osslsigncode or openssl the test is skipped with one line and exit code 77.
set -euo pipefail
wine_part=1
if [[ ${1:-} == --no-wine ]]; then
  wine_part=0
  shift
fi
if [[ $# -lt 2 ]]; then
  echo "usage: $0 [--no-wine] WORK_DIR INSTALLER.exe [PROGRAM.exe...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
scripts=$(cd "$here/../../../scripts" && pwd)
work=$1
shift
programs=("$@")

fail() {
  echo "signed installer test: $*" >&2
  exit 1
}
for tool in osslsigncode openssl; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "signed installer test skipped: no $tool (scripts/install-deps.sh installs it)"
    exit 77
  fi
done
for program in "${programs[@]}"; do
  [[ -f "$program" ]] || fail "no program '$program'"
done

rm -rf "$work"
mkdir -p "$work/signed" "$work/logs"
work=$(cd "$work" && pwd)
"$scripts/throwaway-certificate.sh" "$work/certificate" 2 >/dev/null
"$scripts/throwaway-certificate.sh" "$work/other" 2 >/dev/null
root=$work/certificate/root.pem

# "MACHINE OFFSET SIZE" of PE file $1: its machine type (hex) and where its
# certificate table is (0 0 when unsigned).
pe_facts() {
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
machine = struct.unpack_from("<H", data, pe + 4)[0]
optional = pe + 24
magic = struct.unpack_from("<H", data, optional)[0]
directories = optional + (96 if magic == 0x10B else 112)
print("%x" % machine, *struct.unpack_from("<II", data, directories + 4 * 8))
EOF
}

# Flips bits of the byte at offset $2 of file $1.
change_byte() {
  python3 - "$1" "$2" <<'EOF'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]))
    byte = f.read(1)[0]
    f.seek(int(sys.argv[2]))
    f.write(bytes([byte ^ 0x5A]))
EOF
}

signed=()
for program in "${programs[@]}"; do
  name=$(basename "$program")
  copy="$work/signed/$name"
  cp "$program" "$copy"
  "$scripts/sign.sh" --name "$name" "$work/certificate/signer.pfx" \
    "$work/certificate/password.txt" "$copy" >"$work/logs/sign-$name.log" 2>&1 ||
    { cat "$work/logs/sign-$name.log" >&2; fail "$name: scripts/sign.sh failed"; }
  read -r _ table_offset table_size < <(pe_facts "$copy")
  [[ $table_size -gt 0 && $((table_offset + table_size)) -eq $(stat -c %s "$copy") ]] ||
    fail "$name: no certificate table at the end of the signed file"

  log="$work/logs/verify-$name.log"
  osslsigncode verify -CAfile "$root" -in "$copy" >"$log" 2>&1 ||
    { cat "$log" >&2; fail "$name: the signed copy does not verify against its root"; }
  grep -q '^Message digest algorithm *: SHA256' "$log" || fail "$name: the digest is not SHA-256"
  osslsigncode extract-signature -pem -in "$copy" -out "$work/logs/signature-$name.pem" \
    >/dev/null 2>&1 || fail "$name: no signature to extract"
  subjects=$(openssl pkcs7 -in "$work/logs/signature-$name.pem" -print_certs -noout | grep '^subject')
  grep -q 'CN *= *Quenby Audio (throwaway code signing)' <<<"$subjects" ||
    fail "$name: the signature lacks the signer's certificate"
  grep -q 'CN *= *Quenby Audio throwaway root' <<<"$subjects" ||
    fail "$name: the signature lacks the root's certificate (the chain)"

  if osslsigncode verify -CAfile "$work/other/root.pem" -in "$copy" >"$work/logs/other-$name.log" 2>&1; then
    fail "$name: verified against a root that did not issue its certificate"
  fi

  # One byte in the middle of what the signature covers, not in the signature.
  changed="$work/logs/changed-$name"
  cp "$copy" "$changed"
  at=$((table_offset / 2))
  change_byte "$changed" "$at"
  cmp -s "$copy" "$changed" && fail "$name: the byte at $at did not change"
  log="$work/logs/changed-$name.log"
  if osslsigncode verify -CAfile "$root" -in "$changed" >"$log" 2>&1; then
    fail "$name: a copy with the byte at $at changed still verifies"
  fi
  grep -q '^Calculated message digest.*MISMATCH' "$log" ||
    { cat "$log" >&2; fail "$name: the changed copy was refused, but not for its digest"; }
  rm -f "$changed"
  signed+=("$copy")
  echo "signed installer test: $name signed, verified, refused with the byte at $at changed"
done

if [[ $wine_part -eq 0 ]]; then
  exit 0
fi

# The Wine part: the first program is the installer.
installer=${signed[0]}
group="$work/wine-group"
mkdir -p "$group"
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
read -r machine _ < <(pe_facts "$installer")
# The 32-bit installer installs into the 32-bit Program Files folder.
if [[ $machine == 14c ]]; then
  product="$group/wine/prefix/drive_c/Program Files (x86)/QX/Brindlemoor"
else
  product="$group/wine/prefix/drive_c/Program Files/QX/Brindlemoor"
fi
keep_prefix() {
  rm -rf "$group/wine/prefix/drive_c/windows" || true
  echo "signed installer test: the prefix (without C:\\windows) stays in $group/wine/prefix" >&2
}

status=0
"$scripts/wine-run.sh" "$group" "$installer" -h -i || status=$?
[[ $status -eq 0 ]] || { keep_prefix; fail "the signed installer's install (-h -i) ended with $status"; }
[[ -f "$product/BrindlemoorSetup.exe" ]] ||
  { keep_prefix; fail "no uninstaller copy in $product after the install"; }
cmp "$installer" "$product/BrindlemoorSetup.exe" >&2 ||
  { keep_prefix; fail "the uninstaller copy is not the signed installer byte for byte"; }
echo "signed installer test: installed (0); the uninstaller copy is the signed file"

status=0
"$scripts/wine-run.sh" "$group" "$installer" -h -u || status=$?
[[ $status -eq 0 ]] || { keep_prefix; fail "the signed installer's removal (-h -u) ended with $status"; }
[[ ! -e "$product" ]] || { keep_prefix; fail "the product folder is still there after the removal"; }
echo "signed installer test: removed (0)"
rm -rf "$group"
