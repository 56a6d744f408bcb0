#!/usr/bin/env bash
# Installs what building and testing Tesselin needs on Debian 12, with apt-get.
# Packages already present are left alone; it says what it installed, or that
# nothing was missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libfreetype-dev fonts-dejavu-core
  libpng-dev zlib1g-dev libturbojpeg0-dev libstb-dev libgif-dev
  libreadline-dev libsdl2-dev
  libimagequant-dev libwebp-dev
  libgtest-dev libgmock-dev
  nlohmann-json3-dev libjs-three neovim
  # The window tests: a virtual X display, input and screen reading. The
  # manual's picture check: Python's imaging library.
  xvfb xauth xdotool imagemagick python3-pil
  # MP4 animations and their tests.
  ffmpeg
)

exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
