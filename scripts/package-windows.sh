#!/usr/bin/env bash
# The Windows package, tesselin-VERSION-windows.zip in build-windows: the 64-bit
# tesselin.exe and tesselin.dll at the top, the 32-bit pair (the module a
# 32-bit host program loads) in 32-bit/, manual.htm with its pictures (help
# opens the manual of the current folder), the examples and a short
# README.txt. Then tests it as a Windows user would have it: unpacked in a
# scratch folder, both programs render examples under Wine from that folder,
# and the pictures are compared with what the Linux host (build/tesselin,
# built before this step) draws for the same scripts.
# Needs what check-wine.sh installs (MinGW-w64, Wine with its 32-bit side,
# OSMesa, Pillow); the zip is made with Python's zipfile.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ -x build/tesselin ] || { echo "package-windows: build/tesselin is missing; build the Linux host first" >&2; exit 1; }
version=$(sed -n 's/^project(Tesselin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=tesselin-$version-windows
out=$root/build-windows
rm -rf "$out"
mkdir -p "$out/$name/32-bit"

for bits in 64 32; do
  toolchain=cmake/mingw-$([ $bits = 64 ] && echo x86_64 || echo i686).cmake
  cmake -S . -B build-win$bits -G Ninja -DCMAKE_TOOLCHAIN_FILE=$toolchain >/dev/null
  cmake --build build-win$bits --target tesselin_module tesselin_exe
done
cp build-win64/tesselin.exe build-win64/tesselin.dll "$out/$name/"
cp build-win32/tesselin.exe build-win32/tesselin.dll "$out/$name/32-bit/"
cp manual.htm "$out/$name/"
mkdir -p "$out/$name/docs"
cp -r docs/images "$out/$name/docs/"
cp -r examples "$out/$name/"
sed 's/$/\r/' >"$out/$name/README.txt" <<EOF
Tesselin $version for Windows

Script-to-3D and anaglyph drawing. Open a command prompt in this folder:

  tesselin.exe run examples\\demo.tsl -o demo.png

renders the demo, a snowman, to demo.png. tesselin.exe --help says more;
manual.htm describes every command, with pictures.

tesselin.exe and tesselin.dll here are 64-bit; 32-bit\\ holds the 32-bit
pair. A host program with a command window loads tesselin.dll as its command
plug-in: the 32-bit one for a 32-bit host program. Run scripts from this
folder: the examples name their photos and number files from here, and help
opens the manual.htm of the current folder.
EOF
(cd "$out" && /usr/bin/python3 - "$name" <<'EOF'
import os, sys, zipfile
name = sys.argv[1]
with zipfile.ZipFile(name + ".zip", "w", zipfile.ZIP_DEFLATED) as archive:
    for folder, _, files in sorted(os.walk(name)):
        for file in sorted(files):
            archive.write(os.path.join(folder, file))
EOF
)
echo "package-windows: $out/$name.zip ($(du -k "$out/$name.zip" | cut -f1) KiB)"

# The test: the zip unpacked afresh, run from its own folder.
test=$out/test
mkdir -p "$test/linux"
(cd "$test" && /usr/bin/python3 -c "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall()" "$out/$name.zip")
export WINEPREFIX=$root/build-win64/wine-test/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  FONTCONFIG_FILE=$root/tests/windows/fonts.conf
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
[ -d "$WINEPREFIX" ] || { echo "package-windows: no Wine prefix; run scripts/check-wine.sh first" >&2; exit 1; }
failed=0
fail() { echo "package-windows: $*" >&2; failed=1; }

# Every picture the manual shows is in the package.
grep -o 'src="[^"]*"' "$test/$name/manual.htm" | sed 's/^src="//; s/"$//' | while read -r picture; do
  [ -f "$test/$name/$picture" ] || echo "$picture"
done >"$test/missing-pictures"
[ -s "$test/missing-pictures" ] && fail "the manual's pictures missing from the package: $(tr '\n' ' ' <"$test/missing-pictures")"

# script, kind of comparison, whether it writes the right canvas too
cases=("demo same" "stereo_ring same right" "torus_knot_anaglyph same" "sine_plot text")
compare=()
cd "$test/$name"
for c in "${cases[@]}"; do
  read -r script kind right <<<"$c"
  "$root/build/tesselin" run "examples/$script.tsl" -o "$test/linux/$script.png" \
    ${right:+--right "$test/linux/$script-right.png"} 2>/dev/null
  for program in tesselin.exe 32-bit/tesselin.exe; do
    bits=$([ $program = tesselin.exe ] && echo 64 || echo 32)
    status=0
    timeout 120 wine $program run "examples\\$script.tsl" -o "$script-$bits.png" \
      ${right:+--right "$script-$bits-right.png"} 2>"$script-$bits.err" || status=$?
    [ $status = 0 ] || fail "$program run examples\\$script.tsl: exit status $status: $(tr -d '\r' <"$script-$bits.err")"
    compare+=("$kind" "$script-$bits.png" "$test/linux/$script.png")
    [ -n "$right" ] && compare+=("$kind" "$script-$bits-right.png" "$test/linux/$script-right.png")
  done
done
/usr/bin/python3 "$root/tests/windows/compare_images.py" "${compare[@]}" || failed=1

# What the program says about itself and about a wrong call.
said=$(timeout 60 wine tesselin.exe --version | tr -d '\r')
[ "$said" = "tesselin $version" ] || fail "tesselin.exe --version says \"$said\", not \"tesselin $version\""
status=0
timeout 60 wine tesselin.exe run examples\\demo.tsl -o demo.bmp 2>bmp.err || status=$?
[ $status = 2 ] && [ ! -e demo.bmp ] || fail "tesselin.exe -o demo.bmp: exit status $status, not 2 with nothing written"
status=0
timeout 60 wine tesselin.exe run examples\\missing.tsl -o missing.png 2>missing.err || status=$?
[ $status = 2 ] || fail "tesselin.exe with a missing script: exit status $status, not 2"

if [ $failed != 0 ]; then
  echo "package-windows: the package does not work as it should; files in $test" >&2
  exit 1
fi
echo "package-windows: $name.zip unpacked renders like the Linux host with both programs under Wine"
