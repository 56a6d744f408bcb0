#!/usr/bin/env bash
# Installs Tesselin into a scratch prefix with `cmake --install`, and unpacks the
# Debian package that `cpack -G DEB` makes into another (dpkg -x); in each, the
# installed program must find its module, render the demo from an unrelated
# directory, and `help` must open the installed manual. The package's
# dependencies must all be Debian packages installed on this machine.
# Usage: scripts/check-package.sh [BUILD_DIR]   (default: build). Uses Debian's
# own /usr/bin/python3 with python3-pil, whatever python3 comes first on PATH.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}

./scripts/install-missing.sh python3 python3-pil dpkg-dev file

[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja
cmake --build "$build" --target tesselin_app tesselin_module

scratch=$(mktemp -d /tmp/tesselin-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The demo rendered by the installed program, run from an empty directory.
check_prefix() {
  local prefix=$1 label=$2
  for f in bin/tesselin lib/tesselin/tesselin.so share/doc/tesselin/manual.htm \
           share/tesselin/examples/demo.tsl; do
    [ -f "$prefix/$f" ] || fail "$label: $f is not installed"
  done
  [ -x "$prefix/bin/tesselin" ] || { fail "$label: no program"; return; }
  # The installed manual's pictures are installed beside it.
  local doc="$prefix/share/doc/tesselin" missing=0 pictures=0
  for src in $(grep -o 'src="[^"]*"' "$doc/manual.htm" | sed 's/^src="//; s/"$//'); do
    pictures=$((pictures + 1))
    [ -f "$doc/$src" ] || { missing=$((missing + 1)); echo "missing: $doc/$src" >&2; }
  done
  [ $pictures -gt 0 ] && [ $missing -eq 0 ] || fail "$label: $missing of the manual's $pictures pictures are not installed"
  local work="$scratch/work-$label"
  mkdir -p "$work/bin"
  ( cd "$work" && "$prefix/bin/tesselin" run "$prefix/share/tesselin/examples/demo.tsl" -o demo.png ) \
    || fail "$label: the demo did not run"
  /usr/bin/python3 - "$work/demo.png" <<'PY' || fail "$label: the demo picture is not the snowman"
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert("RGB")
assert image.size == (800, 600), image.size
sky = image.getpixel((5, 5))
assert abs(sky[0] - 140) < 12 and abs(sky[1] - 184) < 12 and abs(sky[2] - 235) < 12, sky
# The snowman: near-white pixels in the middle column, many colours in all.
assert sum(1 for y in range(100, 500) if min(image.getpixel((400, y))) > 200) > 100
assert len(image.getcolors(1 << 20)) > 200
PY
  # help from a directory without a manual opens the installed one.
  printf '#!/bin/sh\nprintf "%%s\\n" "$1" > "%s/opened"\n' "$work" > "$work/bin/xdg-open"
  chmod +x "$work/bin/xdg-open"
  ( cd "$work" && echo help | PATH="$work/bin:$PATH" "$prefix/bin/tesselin" run - ) \
    || fail "$label: help failed"
  for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
  local opened
  opened=$(realpath -m "$(cat "$work/opened" 2>/dev/null || echo none)")
  [ "$opened" = "$(realpath "$prefix/share/doc/tesselin/manual.htm")" ] \
    || fail "$label: help opened '$opened', not the installed manual"
  echo "$label: installed program renders the demo and help opens $opened"
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_prefix "$scratch/prefix" cmake-install

rm -f "$build"/tesselin_*.deb
( cd "$build" && cpack -G DEB >/dev/null )
deb=$(ls "$build"/tesselin_*.deb)
dpkg-deb -x "$deb" "$scratch/deb"
check_prefix "$scratch/deb/usr" deb
file "$scratch/deb/usr/lib/tesselin/tesselin.so" | grep -q 'not stripped' && fail "deb: the module is not stripped"
depends=$(dpkg-deb -f "$deb" Depends)
echo "deb: Depends: $depends"
IFS=',' read -ra entries <<< "$depends"
for entry in "${entries[@]}"; do
  ok=0
  IFS='|' read -ra choices <<< "$entry"
  for choice in "${choices[@]}"; do
    name=$(echo "$choice" | sed 's/(.*//; s/ //g')
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' && ok=1
  done
  [ $ok = 1 ] || fail "deb: dependency $entry is not an installed Debian package"
done

[ $failures -eq 0 ] || { echo "$failures package check(s) failed" >&2; exit 1; }
echo "package checks passed: $(basename "$deb")"
