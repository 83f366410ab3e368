#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build and test, and any
# further packages named as arguments, when any is missing. Runs apt-get
# through sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils
  libssl-dev libpcsclite-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  libp11-kit-dev
  # The PKCS #11 module's tests drive it through these programs.
  opensc p11-kit p11-kit-modules libengine-pkcs11-openssl openssl openssh-client python3-pykcs11 curl
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
