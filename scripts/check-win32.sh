#!/usr/bin/env bash
# Cross-compiles the module for 32-bit Windows and checks that the DLL exports
# exactly the three entry points, undecorated, and imports system DLLs only.
# Installs MinGW-w64 when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v i686-w64-mingw32-g++-posix >/dev/null; then
  run() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  run apt-get update -q
  run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends g++-mingw-w64-i686-posix
fi
cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build-win32
exports=$(i686-w64-mingw32-objdump -p build-win32/tesselin.dll |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $NF}' | sort | tr '\n' ' ')
if [ "$exports" != "ZiltorH_Command ZiltorH_Load ZiltorH_Unload " ]; then
  echo "tesselin.dll exports: $exports" >&2
  exit 1
fi
echo "tesselin.dll (32-bit Windows) exports: $exports"

# It must load on any Windows machine alone: every DLL it imports is one that
# every system has (no MinGW runtime such as libwinpthread-1.dll or
# libgcc_s_dw2-1.dll, no C++ runtime).
system_dlls=" kernel32.dll user32.dll gdi32.dll shell32.dll ole32.dll oleaut32.dll opengl32.dll glu32.dll msvcrt.dll windowscodecs.dll "
imports=$(i686-w64-mingw32-objdump -p build-win32/tesselin.dll | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
foreign=""
for dll in $imports; do
  case "$system_dlls" in *" $dll "*) ;; *) foreign="$foreign $dll" ;; esac
done
if [ -z "$imports" ] || [ -n "$foreign" ]; then
  echo "tesselin.dll imports DLLs that are not part of Windows:${foreign:- (no import table found)}" >&2
  exit 1
fi
echo "tesselin.dll (32-bit Windows) imports system DLLs only:" $imports
