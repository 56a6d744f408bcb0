#!/usr/bin/env bash
# Installs what building and testing Tesselin needs on Debian 12, with apt-get.
# Packages already present are left alone; nothing is installed when none is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libfreetype-dev fonts-dejavu-core
  libpng-dev zlib1g-dev libturbojpeg0-dev libstb-dev libgif-dev
  libreadline-dev libsdl2-dev
  libimagequant-dev libwebp-dev
  libgtest-dev libgmock-dev
  ffmpeg
)

exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
