#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those missing.
# Safe to run again: when everything is present it changes nothing and asks no network.
#
# Where the kernel runs 32-bit programs (scripts/runs-32bit.sh), the i386
# architecture is added and Debian's 32-bit Wine installed beside the 64-bit
# one: the deliverables are 32-bit programs, and their tests run under it in
# a 64-bit prefix, as on 64-bit Windows; with it come the i386 halves of the
# desktop's sound (the ALSA plugins, the PulseAudio client library), without
# which a 32-bit program is silent where the amd64 plugins configure ALSA.
# Elsewhere nothing more is installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  cmake ninja-build g++ make
  googletest libbenchmark-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 xvfb xdotool imagemagick sox
  fonts-wine  # Wine's Marlett: the caption buttons' glyphs
  python3-pil fonts-dejavu-core
  fonts-liberation  # Arial's metrics under Wine, so text fits as laid out
  clang-14 libclang-rt-14-dev  # the fuzz targets: clang, libFuzzer and the sanitizers
  osslsigncode openssl  # Authenticode signing of dist/ and its test (scripts/sign.sh)
)

runs_32bit=0
if "$here/runs-32bit.sh"; then
  runs_32bit=1
  packages+=(wine32:i386 libasound2-plugins:i386 libpulse0:i386)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  as_root=(sudo -n)
else
  echo "install-deps: these Debian packages are missing: ${missing[*]}" >&2
  echo "install-deps: run this script as root (or with sudo) to install them." >&2
  exit 1
fi

if [[ $runs_32bit -eq 0 ]]; then
  echo "install-deps: this kernel runs no 32-bit programs; 32-bit Wine is not installed"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [[ $runs_32bit -eq 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
