#!/usr/bin/env bash
# The live window's tests: tesselin view and the command window's canvas
# window on a virtual X display (Xvfb, drawn by Mesa without a GPU), with
# ImageMagick reading the screen and xdotool moving the mouse. Installs
# what they need, builds them into build/ and runs every test labelled
# "window"; finding none, or no display for them, is a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(xvfb xauth imagemagick xdotool libsdl2-dev)
./scripts/install-missing.sh "${packages[@]}"

# Configured again so that CMake finds xvfb-run and makes the window tests.
cmake -S . -B build >/dev/null
cmake --build build --target tesselin_app tesselin_module window_tests
ctest --test-dir build -L window --no-tests=error --output-on-failure
