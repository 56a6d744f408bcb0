#!/usr/bin/env bash
# Makes the small pictures of the output options for the README and the
# manual into docs/images/, with the tesselin program of build/ (build it
# first). ImageMagick's convert enlarges the close-up of the edges.
set -euo pipefail
cd "$(dirname "$0")/.."
tesselin=build/tesselin
images=docs/images
mkdir -p "$images"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stereo ring at 240 x 180 per eye (the view is the same, only smaller).
sed 's/^canvas 640 480 /canvas 240 180 /' examples/stereo_ring.tsl > "$work/ring.tsl"
# The turntable at 240 x 180.
sed 's/^canvas 480 360 /canvas 240 180 /' examples/turntable.tsl > "$work/turntable.tsl"

# Edges without and with multisampling: the snowman's hat brim, 4 x larger.
for samples in 1 4; do
  $tesselin run examples/demo.tsl -o "$work/demo-$samples.png" --samples "$samples"
  convert "$work/demo-$samples.png" -crop 60x45+330+120 +repage -scale 400% "$work/edge-$samples.png"
done
convert "$work/edge-1.png" "$work/edge-4.png" +append "$images/option-samples.png"

# Anaglyph methods: the script's own colours, then each method.
$tesselin run "$work/ring.tsl" -o "$images/option-anaglyph-script.png"
for method in color half-color gray dubois green-magenta amber-blue; do
  $tesselin run "$work/ring.tsl" -o "$images/option-anaglyph-$method.png" --anaglyph "$method" --samples 4
done

# Layouts of the pair.
for layout in parallel cross-eyed over-under half-width half-height; do
  $tesselin run "$work/ring.tsl" --pair "$images/option-layout-$layout.png" --layout "$layout" --samples 4
done

# The turntable as an animated GIF.
$tesselin run "$work/turntable.tsl" --animation "$images/option-animation.gif" --fps 12 --samples 4
echo "Pictures written to $images/"
