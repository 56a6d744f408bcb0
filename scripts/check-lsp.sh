#!/usr/bin/env bash
# The language server with real clients: Neovim headless (diagnostics and
# completion) and a Node client on vscode-jsonrpc (every other request).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-missing.sh neovim nodejs nlohmann-json3-dev
# Some Node.js builds bring npm along; Debian's own needs its package.
command -v npm >/dev/null || ./scripts/install-missing.sh npm
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tesselin_app tesselin_editor_files
program=$PWD/$build/tesselin
timeout 120 env TESSELIN="$program" nvim --headless -u NONE -c "luafile tests/lsp/nvim_client.lua"
echo
(cd tests/lsp/js && npm ci --no-audit --no-fund --silent)
timeout 120 node tests/lsp/js/client.js "$program"
