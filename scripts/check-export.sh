#!/usr/bin/env bash
# Exported models checked by tools written elsewhere: every example's .glb by
# the Khronos glTF Validator (no errors, no warnings); its page drawn by
# three.js in headless Chromium from the exported camera and its silhouette
# compared with what tesselin run draws; the page's red-cyan mode; every STL
# read back by admesh. Makes the manual's picture of the page on the way
# (docs/images/export/page.png).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-missing.sh chromium admesh nodejs libjs-three nlohmann-json3-dev
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target tesselin_app tesselin_module
(cd tests/export/js && npm ci --no-audit --no-fund --silent)

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
tesselin=build/tesselin
js=tests/export/js
fail=0
say_fail() { echo "FAIL: $*"; fail=1; }

# A screenshot of page (with #hash) at WIDTHxHEIGHT, drawn with software WebGL.
shoot() {
  local page=$1 hash=$2 size=$3 png=$4
  timeout 120 chromium --headless=new --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader \
    --hide-scrollbars --force-device-scale-factor=1 --window-size="$size" --virtual-time-budget=30000 \
    --screenshot="$png" "file://$(realpath "$page")$hash" >/dev/null 2>&1
  [ -s "$png" ] || { say_fail "no screenshot of $page"; return 1; }
}

glbs=()
for script in examples/*.tsl; do
  name=$(basename "$script" .tsl)
  stereo=no
  grep -Eq '^canvas [0-9]+ [0-9]+ [0-9]+ (persp|ortho)' "$script" && stereo=yes
  extra=()
  [ $stereo = yes ] && extra=(--pair "$out/$name-pair.png")
  status=0
  $tesselin run "$script" -o "$out/$name.png" "${extra[@]}" --export "$out/$name.glb" 2>"$out/$name.err" || status=$?
  if grep -q 'the canvas is flat' "$out/$name.err"; then
    # A flat canvas has no model: a clear error, exit 1 and nothing written.
    [ $status = 1 ] && [ ! -e "$out/$name.glb" ] || say_fail "$name: a flat canvas must fail without a file"
    echo "$name: flat canvas, no model (as it should be)"
    continue
  fi
  [ $status = 0 ] || { say_fail "$name: tesselin run --export failed"; cat "$out/$name.err"; continue; }
  glbs+=("$out/$name.glb")
  $tesselin run "$script" -o "$out/ignored.png" --export "$out/$name.html" 2>/dev/null
  # three.js draws the page's model from the exported camera, the same size as
  # tesselin's picture (both eyes side by side for a stereo script).
  if [ $stereo = yes ]; then
    reference="$out/$name-pair.png" hash="#bare+side-by-side"
  else
    reference="$out/$name.png" hash="#bare"
  fi
  read -r width height < <(node $js/pictures.js size "$reference")
  if shoot "$out/$name.html" "$hash" "$width,$height" "$out/$name-page.png"; then
    agreement=$(node $js/pictures.js overlap "$reference" "$out/$name-page.png" "$out/$name.glb") ||
      say_fail "$name: $agreement"
    echo "$name: three.js and tesselin: $agreement"
  fi
  # admesh reads the STL: as many facets as the .glb has triangles, the same
  # box, none degenerate.
  read -r triangles x0 y0 z0 x1 y1 z1 < <(node $js/pictures.js info "$out/$name.glb")
  if [ "$triangles" = 0 ]; then
    # Lines and dots alone: an STL cannot hold them, and says so.
    if $tesselin run "$script" -o "$out/ignored.png" --export "$out/$name.stl" 2>/dev/null || [ -e "$out/$name.stl" ]; then
      say_fail "$name: an STL without triangles must fail"
    fi
    continue
  fi
  $tesselin run "$script" -o "$out/ignored.png" --export "$out/$name.stl" 2>/dev/null
  report=$(admesh "$out/$name.stl")
  facets=$(awk '/^Number of facets/ {print $5; exit}' <<<"$report")
  degenerate=$(awk '/^Degenerate facets/ {print $4; exit}' <<<"$report")
  box=$(awk '/^Min X/ {x0=$4; x1=$8} /^Min Y/ {y0=$4; y1=$8} /^Min Z/ {z0=$4; z1=$8} END {print x0, y0, z0, x1, y1, z1}' <<<"$report" | tr -d ,)
  python3 - "$facets" "$triangles" "$degenerate" "$box" "$x0 $y0 $z0 $x1 $y1 $z1" <<'EOF' || say_fail "$name: admesh disagrees"
import sys
facets, triangles, degenerate, box, glb = sys.argv[1:]
a, b = [float(v) for v in box.split()], [float(v) for v in glb.split()]
ok = int(facets) == int(float(triangles)) and int(degenerate) == 0 and all(abs(x - y) < 1e-3 * max(1, abs(y)) for x, y in zip(a, b))
print(f"  admesh: {facets} facets (the .glb has {int(float(triangles))}), {degenerate} degenerate, box {box}")
sys.exit(0 if ok else 1)
EOF
done

# The text form too, its buffer inside the JSON.
$tesselin run examples/lit_scene.tsl -o "$out/ignored.png" --export "$out/lit_scene.gltf"
node $js/validate.js "${glbs[@]}" "$out/lit_scene.gltf" || say_fail "the glTF Validator found problems"

# The page's red-cyan mode: a white ball in front of the plane without
# parallax splits into a red and a cyan edge, which the plain 3D view lacks.
cat >"$out/ball.tsl" <<'EOF'
canvas 480 360 persp 30 1 100 8
clear 0 0 0
light -1 1 2
diffuse 1 1 1
move 0 0 3
sphere 24 32 smooth
finish
EOF
$tesselin run "$out/ball.tsl" --export "$out/ball.html"
shoot "$out/ball.html" "#bare" 480,360 "$out/ball-mono.png" &&
  shoot "$out/ball.html" "#bare+anaglyph" 480,360 "$out/ball-anaglyph.png" && {
  result=$(node $js/pictures.js redcyan "$out/ball-anaglyph.png" "$out/ball-mono.png") || say_fail "anaglyph: $result"
  echo "page: $result"
}

# The manual's picture of the page: the snowman with the page's bar.
mkdir -p docs/images/export
$tesselin run examples/demo.tsl -o "$out/ignored.png" --export "$out/demo-page.html"
shoot "$out/demo-page.html" "" 800,600 docs/images/export/page.png
shoot "$out/demo-page.html" "#anaglyph" 800,600 docs/images/export/page-anaglyph.png

[ $fail = 0 ] || { echo "export checks: FAILED"; exit 1; }
echo "export checks: every model validated, drawn alike by three.js and read back by admesh"
