#!/usr/bin/env bash
# The Windows module in a Windows host, under Wine: builds the module and the
# test host (tests/windows) for 64-bit Windows, runs a set of scripts through
# both under wine64 with no display, and compares every image and message with
# what the Linux host (build/tesselin, built before this step) gives for the
# same script. Tries a tiny 32-bit Windows program first and runs the 32-bit
# module the same way when this machine can run it.
# Installs MinGW-w64, Wine, OSMesa (Wine's OpenGL on bitmaps) and Pillow when
# missing. Everything Wine writes stays under build-win64/wine-test.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 libosmesa6 python3-pil fonts-dejavu-core)
./scripts/install-missing.sh "${packages[@]}"
[ -x build/tesselin ] || { echo "check-wine: build/tesselin is missing; build the Linux host first" >&2; exit 1; }

cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build-win64 --target tesselin_module wine_host number_reading_runner
dll=build-win64/tesselin.dll

work=$root/build-win64/wine-test
rm -rf "$work/run"
mkdir -p "$work/run/windows" "$work/run/linux"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  FONTCONFIG_FILE=$root/tests/windows/fonts.conf
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
since() { echo "$((($(date +%s%N) - $1) / 1000000)) ms"; }

# The first start makes the prefix (slow); later runs reuse it.
start=$(date +%s%N)
timeout 300 wine wineboot -i >"$work/wineboot.out" 2>"$work/wineboot.err"
timeout 300 wineserver -w
echo "check-wine: Wine prefix ready in $(since "$start")"

# The scripts and the files they read, in one folder that both hosts run in.
cd "$work/run"
# The module and the host sit alone in a folder of their own: nothing of
# MinGW's runtime is there for LoadLibrary to find.
mkdir bin64
cp "$root/build-win64/wine_host.exe" "$root/$dll" bin64/
cp "$root"/tests/windows/scripts/*.tsl "$root"/tests/windows/scripts/*.txt "$root/examples/sine.txt" .
cp -r "$root/examples" examples
mkdir -p windows/examples linux/examples
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

run_windows() { # host.exe module script out-prefix [right]
  local host=$1 module=$2 name=$3 right=${4:-}
  local status=0
  timeout 120 wine "$host" "$module" "$name.tsl" "windows/$name.bmp" ${right:+"windows/$name-right.bmp"} \
    >"windows/$name.out" 2>"windows/$name.err" || status=$?
  sed -i 's/\r$//' "windows/$name.out"
  echo "$status" >"windows/$name.status"
}

failed=0
compare=()
start=$(date +%s%N)
for c in "${cases[@]}"; do
  read -r name kind right <<<"$c"
  status=0
  "$root/build/tesselin" run "$name.tsl" -o "linux/$name.png" ${right:+--right "linux/$name-right.png"} \
    2>"linux/$name.err" || status=$?
  echo "$status" >"linux/$name.status"
  run_windows bin64/wine_host.exe bin64/tesselin.dll "$name" "$right"
  if [ "$(cat "windows/$name.status")" != "$status" ]; then
    echo "DIFFERENT $name: exit status $(cat "windows/$name.status") on Windows, $status on Linux" >&2
    sed 's/^/  windows: /' "windows/$name.out" "windows/$name.err" | head -20 >&2
    failed=1
  fi
  # The messages, with script and line, must be the same.
  grep -E '^[^ ]+:[0-9]+: (Error! |Warning: )' "linux/$name.err" >"linux/$name.messages" || true
  grep -E '^[^ ]+:[0-9]+: (Error! |Warning: )' "windows/$name.out" >"windows/$name.messages" || true
  if ! diff -u "linux/$name.messages" "windows/$name.messages" >"windows/$name.messages.diff"; then
    echo "DIFFERENT $name: messages" >&2
    cat "windows/$name.messages.diff" >&2
    failed=1
  fi
  compare+=("$kind" "windows/$name.bmp" "linux/$name.png")
  [ -n "$right" ] && compare+=("$kind" "windows/$name-right.bmp" "linux/$name-right.png")
done
echo "check-wine: ${#cases[@]} scripts under Wine in $(since "$start") (with the Linux renders)"

# The Imaging Component, which takes the files the OLE loader refuses: the
# same picture as TIFF as through the OLE loader as BMP; and a transparent
# TIFF against the Linux host's drawing of the same PNG (Wine's OLE loader
# reads PNG, Windows' does not).
for name in picture_bmp picture_mirrored; do
  sed 's/balls\.bmp/balls.tif/' $name.tsl >${name}_tif.tsl
  run_windows bin64/wine_host.exe bin64/tesselin.dll ${name}_tif
  compare+=(same windows/${name}_tif.bmp windows/$name.bmp)
done
"$root/build/tesselin" run picture_alpha.tsl -o linux/picture_alpha.png 2>linux/picture_alpha.err
sed 's/alpha\.png/alpha.tif/' picture_alpha.tsl >picture_alpha_tif.tsl
run_windows bin64/wine_host.exe bin64/tesselin.dll picture_alpha_tif
compare+=(picture windows/picture_alpha_tif.bmp linux/picture_alpha.png)

/usr/bin/python3 "$root/tests/windows/compare_images.py" "${compare[@]}" || failed=1

# Number tokens read as on Linux (the module's atof, on its own).
if ! timeout 120 wine "$root/build-win64/number_reading_runner.exe" >numbers.out 2>numbers.err; then
  failed=1
  echo "DIFFERENT number reading:" >&2
fi
tr -d '\r' <numbers.out

# 32-bit: only where this machine runs 32-bit Windows programs. A tiny one
# (it returns 7) tells; a tiny 32-bit Linux program tells whether the kernel
# or Wine is what is missing.
cat >tiny32.c <<'EOF'
int main(void) { return 7; }
EOF
i686-w64-mingw32-gcc-posix -static -o tiny32.exe tiny32.c
tiny=0
timeout 60 wine tiny32.exe >tiny32.out 2>tiny32.err || tiny=$?
if [ "$tiny" = 7 ]; then
  cmake -S "$root" -B "$root/build-win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$root/build-win32" --target tesselin_module wine_host
  mkdir -p bin32 windows32/examples
  cp "$root/build-win32/wine_host.exe" "$root/build-win32/tesselin.dll" bin32/
  for name in examples/lit_scene errors; do
    timeout 120 wine bin32/wine_host.exe bin32/tesselin.dll "$name.tsl" "windows32/$name.bmp" \
      >"windows32/$name.out" 2>"windows32/$name.err" || true
    sed -i 's/\r$//' "windows32/$name.out"
    grep -E '^[^ ]+:[0-9]+: (Error! |Warning: )' "windows32/$name.out" >"windows32/$name.messages" || true
    diff -u "linux/$name.messages" "windows32/$name.messages" >&2 || failed=1
  done
  /usr/bin/python3 "$root/tests/windows/compare_images.py" \
    same windows32/examples/lit_scene.bmp linux/examples/lit_scene.png || failed=1
else
  # An ELF program for i386 that exits with 7 through the 32-bit system call.
  /usr/bin/python3 - <<'EOF'
import os, struct
code = bytes([0xB8, 1, 0, 0, 0, 0xBB, 7, 0, 0, 0, 0xCD, 0x80])
base, size = 0x08048000, 52 + 32 + len(code)
header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open("tiny32.elf", "wb") as out:
    out.write(header + segment + code)
os.chmod("tiny32.elf", 0o755)
EOF
  kernel=0
  ./tiny32.elf 2>/dev/null || kernel=$?
  if [ "$kernel" = 7 ]; then
    why="the kernel runs 32-bit programs, but this Wine has no 32-bit side (wine32:i386)"
  else
    why="the kernel does not run 32-bit programs"
  fi
  echo "check-wine: no 32-bit Windows program runs here (a tiny one returned $tiny, not 7): $why;" \
    "the 32-bit module is checked by its build, record layouts and import table only"
fi

if [ "$failed" != 0 ]; then
  echo "check-wine: the Windows module differs from the Linux one; files in $work/run" >&2
  exit 1
fi
echo "check-wine: the 64-bit module loads alone under Wine and draws like the Linux host"
