#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and the machine lacks.
# Idempotent: a machine that has everything is left alone and costs one dpkg query.
set -euo pipefail

packages=(
  make cmake clang libclang-rt-14-dev googletest zlib1g-dev unzip openssl
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 xvfb xauth x11-utils xdotool imagemagick
  python3 python3-pytest fp-utils python3-aiosmtpd
  tango-icon-theme librsvg2-bin
  nsis osslsigncode zip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
