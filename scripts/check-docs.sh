#!/usr/bin/env bash
# The manual and the gallery: installs Debian's Chromium and Python imaging
# when missing, then checks that every picture of the manual and the gallery
# is what its script renders now, that every command is used in an example and
# every example shown in the README, and opens the manual in headless Chromium
# (every command's section, every picture loads, a screenshot in
# build/manual-screenshot.png).
# Usage: scripts/check-docs.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

./scripts/install-missing.sh chromium python3 python3-pil

[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target tesselin_app tesselin_module

# Debian's own Python, which has python3-pil, whatever python3 is first on PATH.
/usr/bin/python3 scripts/make-pictures.py --check --program "$build/tesselin"
/usr/bin/python3 tests/docs/check_examples.py
/usr/bin/python3 tests/docs/check_manual.py --browser /usr/bin/chromium --screenshot "$build/manual-screenshot.png"
