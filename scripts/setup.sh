#!/usr/bin/env bash
# Installs what building and testing Tesselin needs on Debian 12, with apt-get.
# Packages already present are left alone; nothing is installed when none is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libfreetype-dev fonts-dejavu-core
  libpng-dev zlib1g-dev libturbojpeg0-dev libstb-dev libgif-dev
  libreadline-dev
  libimagequant-dev libwebp-dev
  libgtest-dev libgmock-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

run() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
echo "Installing: ${missing[*]}"
run apt-get update -q
run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
