#!/usr/bin/env bash
# The host's output options end to end: installs ffmpeg (optional for users,
# so that the .mp4 tests run here), runs the output tests, then renders the
# examples with every option and checks that each file reads back.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
  run() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  run apt-get update -q
  run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ffmpeg
fi
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target tesselin_app tesselin_module output_tests
build/tests/output/output_tests --gtest_brief=1

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
tesselin=build/tesselin
$tesselin run examples/demo.tsl -o "$out/demo4.png" --samples 4
$tesselin run examples/stereo_ring.tsl -o "$out/dubois.png" --anaglyph dubois --swap-eyes \
  --pair "$out/ring.mpo" --side-by-side "$out/sbs.png"
$tesselin run examples/stereo_ring.tsl --pair "$out/hw.png" --layout half-width
$tesselin run examples/turntable.tsl --animation "$out/turn.gif" --fps 12
$tesselin run examples/turntable.tsl --animation "$out/turn.webp" --fps 12
$tesselin run examples/turntable.tsl --animation "$out/turn.mp4" --fps 12
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$out/turn.mp4")
[ "$frames" = 36 ] || { echo "turn.mp4 has $frames frames, not 36"; exit 1; }
# ffmpeg reads every one but the animated WebP (the output tests decode that).
for f in "$out"/*.png "$out"/*.mpo "$out"/*.gif; do
  [ -z "$(ffprobe -v error "$f" 2>&1)" ] || { echo "$f does not read back"; exit 1; }
done
[ "$(head -c 4 "$out/turn.webp")" = RIFF ] || { echo "turn.webp is not a WebP file"; exit 1; }
echo "output options: all files written and readable"
