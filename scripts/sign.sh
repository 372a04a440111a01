#!/usr/bin/env bash
# Signs one Windows program with Authenticode, in place, and checks the signature:
#   scripts/sign.sh [--name TEXT] [--timestamp-url URL] PFX PASSWORD_FILE FILE.exe
#
# PFX is a PKCS#12 file holding the code-signing key, its certificate and the
# certificates above it; PASSWORD_FILE holds its password on the first line
# (a line end, LF or CRLF, is not part of it). The password is never put on a
# command line. The signature (osslsigncode) is SHA-256 and carries every
# certificate of the pfx, so Windows can build the chain without fetching
# anything. --name is the description Windows shows for the program (the
# "Program name" line of the administrator prompt); --timestamp-url an
# RFC 3161 time-stamp server, whose countersignature keeps the signature
# valid after the certificate expires.
#
# The signed file must then verify (osslsigncode verify) against the
# machine's trusted roots and the self-signed certificates of the pfx itself,
# so a throwaway certificate verifies too; revocation lists are not fetched
# (a build machine may be offline, and Windows checks revocation when the
# program runs). FILE is replaced only by a signed file that verified; on
# any failure it is left as it was and the exit code is 1 (2 for a wrong
# command line).
#
# Sign after everything else that rewrites the file: stripping, or any tool
# that edits the PE file, destroys the signature.
set -euo pipefail

usage() {
  echo "usage: $0 [--name TEXT] [--timestamp-url URL] PFX PASSWORD_FILE FILE.exe" >&2
  exit 2
}
fail() {
  echo "sign: $*" >&2
  exit 1
}

name=""
timestamp_url=""
while [[ $# -gt 0 ]]; do
  case $1 in
    --name) [[ $# -ge 2 ]] || usage; name=$2; shift 2 ;;
    --timestamp-url) [[ $# -ge 2 ]] || usage; timestamp_url=$2; shift 2 ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[[ $# -eq 3 ]] || usage
pfx=$1 password_file=$2 file=$3

for tool in osslsigncode openssl; do
  command -v "$tool" >/dev/null 2>&1 ||
    fail "no $tool (Debian: apt-get install $tool; scripts/install-deps.sh installs both)"
done
[[ -f "$pfx" ]] || fail "no certificate file '$pfx'"
[[ -f "$password_file" ]] || fail "no password file '$password_file'"
[[ -f "$file" ]] || fail "no program '$file'"

work=$(mktemp -d "${TMPDIR:-/tmp}/sign.XXXXXX")
chmod 700 "$work"
out="$file.signing.$$"
trap 'rm -rf "$work"; rm -f "$out"' EXIT

# One password, read the same way by openssl and osslsigncode.
(umask 077 && head -n 1 "$password_file" | tr -d '\r\n' >"$work/password")

# The roots to verify against: the machine's, and those the pfx brings.
openssl pkcs12 -in "$pfx" -nokeys -passin "file:$work/password" -out "$work/chain.pem" \
  >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "cannot read '$pfx' (wrong password?)"; }
: >"$work/trust.pem"
[[ -f /etc/ssl/certs/ca-certificates.crt ]] && cat /etc/ssl/certs/ca-certificates.crt >"$work/trust.pem"
awk -v dir="$work" '
  /-----BEGIN CERTIFICATE-----/ { n++; keep = 1 }
  keep { print > (dir "/cert" n ".pem") }
  /-----END CERTIFICATE-----/ { keep = 0 }' "$work/chain.pem"
for cert in "$work"/cert*.pem; do
  [[ -f "$cert" ]] || continue
  subject=$(openssl x509 -in "$cert" -noout -subject -nameopt RFC2253 | sed 's/^subject=//')
  issuer=$(openssl x509 -in "$cert" -noout -issuer -nameopt RFC2253 | sed 's/^issuer=//')
  if [[ "$subject" == "$issuer" ]]; then
    cat "$cert" >>"$work/trust.pem"
  fi
done
[[ -s "$work/trust.pem" ]] || fail "no trusted roots: neither the machine's nor the pfx's"

sign_args=(sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256)
[[ -n "$name" ]] && sign_args+=(-n "$name")
[[ -n "$timestamp_url" ]] && sign_args+=(-ts "$timestamp_url")
if ! osslsigncode "${sign_args[@]}" -in "$file" -out "$out" >"$work/log" 2>&1; then
  cat "$work/log" >&2
  fail "signing '$file' failed"
fi

verify_args=(verify -CAfile "$work/trust.pem" -TSA-CAfile "$work/trust.pem")
# osslsigncode 2.6 and later fetch the certificate's revocation lists unless told not to.
if osslsigncode verify --help 2>&1 | grep -q -- '-ignore-crl'; then
  verify_args+=(-ignore-crl)
fi
if ! osslsigncode "${verify_args[@]}" -in "$out" >"$work/verify.log" 2>&1; then
  cat "$work/verify.log" >&2
  fail "the signature of '$file' does not verify; the file is left unsigned"
fi
# osslsigncode passes a signature whose time stamp fails (it falls back to the
# current time), so the time stamp's own result is read.
if [[ -n "$timestamp_url" ]] && ! grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log"; then
  cat "$work/verify.log" >&2
  fail "the time stamp of '$file' does not verify; the file is left unsigned"
fi
chmod --reference="$file" "$out"
mv -f "$out" "$file"
signer=$(openssl pkcs12 -in "$pfx" -nokeys -clcerts -passin "file:$work/password" 2>/dev/null |
  openssl x509 -noout -subject -nameopt oneline 2>/dev/null | sed 's/^subject= *//' || true)
certificates=$(grep -c '^-----BEGIN CERTIFICATE-----' "$work/chain.pem" || true)
stamp="no time stamp"
[[ -n "$timestamp_url" ]] && stamp="time-stamped"
plural=s
[[ $certificates == 1 ]] && plural=""
echo "sign: $file: SHA-256, signed by ${signer:-?}, $certificates certificate$plural, $stamp, verified"
