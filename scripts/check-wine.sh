#!/usr/bin/env bash
# The Windows modules in a Windows host, under Wine: builds the module and the
# test host (tests/windows) for 64-bit and for 32-bit Windows, runs a set of
# scripts through each pair under Wine with no display, and compares every
# image, message and exit status with what the Linux host (build/tesselin,
# built before this step) gives for the same script. The 32-bit pair is the
# real layout: 4-byte host-table entries, the module the real host loads.
# Installs MinGW-w64, Wine, OSMesa (Wine's OpenGL on bitmaps) and Pillow when
# missing; the 32-bit side of Wine (wine32:i386, libosmesa6:i386) comes from
# .ci/run, which adds the i386 architecture. Everything Wine writes stays
# under build-win64/wine-test; a prefix made by another Wine is made afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 libosmesa6 python3-pil fonts-dejavu-core)
./scripts/install-missing.sh "${packages[@]}"
[ -x build/tesselin ] || { echo "check-wine: build/tesselin is missing; build the Linux host first" >&2; exit 1; }

for bits in 64 32; do
  toolchain=cmake/mingw-$([ $bits = 64 ] && echo x86_64 || echo i686).cmake
  cmake -S . -B build-win$bits -G Ninja -DCMAKE_TOOLCHAIN_FILE=$toolchain >/dev/null
  cmake --build build-win$bits --target tesselin_module wine_host number_reading_runner
done

work=$root/build-win64/wine-test
rm -rf "$work/run"
mkdir -p "$work/run/windows64" "$work/run/windows32" "$work/run/linux"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  FONTCONFIG_FILE=$root/tests/windows/fonts.conf
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
since() { echo "$((($(date +%s%N) - $1) / 1000000)) ms"; }

# The first start makes the prefix (slow); later runs reuse it, unless it was
# made by another Wine (another version, or before the 32-bit side was
# there), whose prefix may lack what this one needs.
wine_id="$(wine --version) 32-bit:$(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || echo none)"
if [ -d "$WINEPREFIX" ] && [ "$(cat "$WINEPREFIX/.tesselin-wine" 2>/dev/null)" != "$wine_id" ]; then
  echo "check-wine: the Wine prefix was made by another Wine; making a fresh one"
  rm -rf "$WINEPREFIX"
fi
start=$(date +%s%N)
timeout 300 wine wineboot -i >"$work/wineboot.out" 2>"$work/wineboot.err"
timeout 300 wineserver -w
echo "$wine_id" >"$WINEPREFIX/.tesselin-wine"
echo "check-wine: Wine prefix ready in $(since "$start") ($wine_id)"

# The scripts and the files they read, in one folder that both hosts run in.
cd "$work/run"
# The module and the host sit alone in a folder of their own: nothing of
# MinGW's runtime is there for LoadLibrary to find.
for bits in 64 32; do
  mkdir bin$bits
  cp "$root/build-win$bits/wine_host.exe" "$root/build-win$bits/tesselin.dll" bin$bits/
done
cp "$root"/tests/windows/scripts/*.tsl "$root"/tests/windows/scripts/*.txt "$root/examples/sine.txt" .
cp -r "$root/examples" examples
mkdir -p windows64/examples windows32/examples linux/examples
: >empty.txt
/usr/bin/python3 - "$root/examples/images/balls.jpg" <<'EOF'
import sys
from PIL import Image
photo = Image.open(sys.argv[1]).convert("RGB")
photo.save("balls.jpg", quality=95)
photo.save("balls.bmp")
photo.save("balls.png")
photo.save("balls.tif")
photo.quantize(256).save("balls.gif")
# Two near greys (their average in light and in level nearly agree) in a
# one-pixel checkerboard: shrunk to half, a filtering scaler
# gives their average, one that drops pixels gives one grey or the other.
board = Image.new("RGB", (800, 600))
board.putdata([(115, 115, 115) if (x + y) % 2 else (145, 145, 145) for y in range(600) for x in range(800)])
board.save("board.bmp")
# Opaque at the left edge, fully transparent from the middle on.
alpha = Image.new("L", photo.size)
alpha.putdata([min(255, x * 510 // photo.size[0]) for y in range(photo.size[1]) for x in range(photo.size[0])])
alpha = alpha.point(lambda v: 255 - v)
faded = photo.convert("RGBA")
faded.putalpha(alpha)
faded.save("alpha.png")
faded.save("alpha.tif")
EOF
sed 's/balls\.bmp/board.bmp/' picture_bmp.tsl >picture_board.tsl

# script, kind of comparison, and whether it makes a right canvas
cases=(
  "welcome text"
  "erase same"
  "picture_bmp picture"
  "picture_jpg picture"
  "picture_gif picture"
  "picture_png picture"
  "picture_board picture"
  "picture_mirrored picture"
  "text_graduations text"
  "errors same"
  "numbers same"
  "stereo_frames same right"
  "examples/lit_scene same"
  "examples/stereo_ring same right"
  "examples/demo same"
  "examples/wireframe same"
  "examples/point_cloud text"
  "examples/torus_knot_anaglyph same right"
  "examples/sine_plot text"
  "examples/picture_welcome picture"
  "examples/stereo_photos picture right"
)

run_windows() { # bits script [right]: the host and module of that width
  local bits=$1 name=$2 right=${3:-} out=windows$1
  local status=0
  timeout 120 wine bin$bits/wine_host.exe bin$bits/tesselin.dll "$name.tsl" "$out/$name.bmp" \
    ${right:+"$out/$name-right.bmp"} >"$out/$name.out" 2>"$out/$name.err" || status=$?
  sed -i 's/\r$//' "$out/$name.out"
  echo "$status" >"$out/$name.status"
}

# A 32-bit Windows program must run here: a tiny one (it returns 7) tells.
cat >tiny32.c <<'EOF'
int main(void) { return 7; }
EOF
i686-w64-mingw32-gcc-posix -static -o tiny32.exe tiny32.c
tiny=0
timeout 60 wine tiny32.exe >tiny32.out 2>tiny32.err || tiny=$?
if [ "$tiny" != 7 ]; then
  echo "check-wine: a 32-bit Windows program does not run under this Wine (it returned $tiny, not 7);" \
    "install Wine's 32-bit side: dpkg --add-architecture i386 && apt-get update &&" \
    "apt-get install wine32:i386 libosmesa6:i386 (as .ci/run does)" >&2
  exit 1
fi

failed=0
compare=()
for c in "${cases[@]}"; do
  read -r name kind right <<<"$c"
  status=0
  "$root/build/tesselin" run "$name.tsl" -o "linux/$name.png" ${right:+--right "linux/$name-right.png"} \
    2>"linux/$name.err" || status=$?
  echo "$status" >"linux/$name.status"
  # The messages, with script and line, must be the same.
  grep -E '^[^ ]+:[0-9]+: (Error! |Warning: )' "linux/$name.err" >"linux/$name.messages" || true
done
"$root/build/tesselin" run picture_alpha.tsl -o linux/picture_alpha.png 2>linux/picture_alpha.err
sed 's/alpha\.png/alpha.tif/' picture_alpha.tsl >picture_alpha_tif.tsl
for name in picture_bmp picture_mirrored; do
  sed 's/balls\.bmp/balls.tif/' $name.tsl >${name}_tif.tsl
done

for bits in 64 32; do
  start=$(date +%s%N)
  out=windows$bits
  for c in "${cases[@]}"; do
    read -r name kind right <<<"$c"
    run_windows $bits "$name" "$right"
    status=$(cat "linux/$name.status")
    if [ "$(cat "$out/$name.status")" != "$status" ]; then
      echo "DIFFERENT $name ($bits-bit): exit status $(cat "$out/$name.status") on Windows, $status on Linux" >&2
      sed 's/^/  windows: /' "$out/$name.out" "$out/$name.err" | head -20 >&2
      failed=1
    fi
    grep -E '^[^ ]+:[0-9]+: (Error! |Warning: )' "$out/$name.out" >"$out/$name.messages" || true
    if ! diff -u "linux/$name.messages" "$out/$name.messages" >"$out/$name.messages.diff"; then
      echo "DIFFERENT $name ($bits-bit): messages" >&2
      cat "$out/$name.messages.diff" >&2
      failed=1
    fi
    compare+=("$kind" "$out/$name.bmp" "linux/$name.png")
    [ -n "$right" ] && compare+=("$kind" "$out/$name-right.bmp" "linux/$name-right.png")
  done
  echo "check-wine: ${#cases[@]} scripts through the $bits-bit module under Wine in $(since "$start")"

  # The Imaging Component, which takes the files the OLE loader refuses: the
  # same picture as TIFF as through the OLE loader as BMP; and a transparent
  # TIFF against the Linux host's drawing of the same PNG (Wine's OLE loader
  # reads PNG, Windows' does not).
  for name in picture_bmp picture_mirrored; do
    run_windows $bits ${name}_tif
    compare+=(same $out/${name}_tif.bmp $out/$name.bmp)
  done
  run_windows $bits picture_alpha_tif
  compare+=(picture $out/picture_alpha_tif.bmp linux/picture_alpha.png)

  # Number tokens read as on Linux (the module's atof, on its own).
  if ! timeout 120 wine "$root/build-win$bits/number_reading_runner.exe" >numbers$bits.out 2>numbers$bits.err; then
    failed=1
    echo "DIFFERENT number reading ($bits-bit):" >&2
  fi
  tr -d '\r' <numbers$bits.out
done

/usr/bin/python3 "$root/tests/windows/compare_images.py" "${compare[@]}" || failed=1
if [ "$failed" != 0 ]; then
  echo "check-wine: a Windows module differs from the Linux one; files in $work/run" >&2
  exit 1
fi
echo "check-wine: the 64-bit and the 32-bit module load alone under Wine and draw like the Linux host"
