#!/usr/bin/env bash
# Cross-compiles the module for 32-bit Windows and checks that the DLL exports
# exactly the three entry points, undecorated. Installs MinGW-w64 when missing.
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
