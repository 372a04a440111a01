#!/usr/bin/env bash
# Makes a code-signing certificate for trying the signing out, trusted by
# nobody but whoever is given its root:
#   scripts/throwaway-certificate.sh OUT_DIR [DAYS]
# OUT_DIR gets
#   signer.pfx    the signing key, its certificate and the root above it (the
#                 chain a signature carries), as PKCS#12, for scripts/sign.sh
#   password.txt  the pfx's password (random, one line)
#   root.pem      the root certificate, the one thing to trust
#                 (osslsigncode verify -CAfile OUT_DIR/root.pem ...)
# The root's key is thrown away once it has signed, so the root can vouch for
# nothing else. Both certificates are valid for DAYS days (default 30). The
# files are readable by their owner only.
set -euo pipefail
if [[ $# -lt 1 || $# -gt 2 ]]; then
  echo "usage: $0 OUT_DIR [DAYS]" >&2
  exit 2
fi
out=$1
days=${2:-30}
command -v openssl >/dev/null 2>&1 || {
  echo "throwaway-certificate: no openssl (Debian: apt-get install openssl)" >&2
  exit 1
}
umask 077
mkdir -p "$out"
work=$(mktemp -d "$out/.make.XXXXXX")
trap 'rm -rf "$work"' EXIT

openssl rand -hex 16 >"$out/password.txt"
# The root: a CA that may sign certificates and nothing else.
openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days "$days" \
  -subj "/O=Quenby Audio/CN=Quenby Audio throwaway root" \
  -addext "basicConstraints=critical,CA:TRUE,pathlen:0" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -addext "subjectKeyIdentifier=hash" \
  -keyout "$work/root.key" -out "$out/root.pem" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  exit 1
}
# The signer: a leaf for code signing only, as a certificate authority issues one.
openssl req -newkey rsa:3072 -sha256 -nodes \
  -subj "/O=Quenby Audio/CN=Quenby Audio (throwaway code signing)" \
  -keyout "$work/signer.key" -out "$work/signer.csr" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  exit 1
}
cat >"$work/signer.ext" <<'EOF'
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
openssl x509 -req -sha256 -days "$days" -in "$work/signer.csr" \
  -CA "$out/root.pem" -CAkey "$work/root.key" -set_serial "0x$(openssl rand -hex 8)" \
  -extfile "$work/signer.ext" -out "$work/signer.pem" >"$work/log" 2>&1 || {
  cat "$work/log" >&2
  exit 1
}
openssl pkcs12 -export -name "Quenby Audio (throwaway code signing)" \
  -inkey "$work/signer.key" -in "$work/signer.pem" -certfile "$out/root.pem" \
  -passout "file:$out/password.txt" -out "$out/signer.pfx"
echo "throwaway-certificate: $out/signer.pfx (password in $out/password.txt)," \
  "trusted through $out/root.pem, valid $days days"
