// The Windows host's core (script_host.cpp): a script through tesselin.dll
// onto bitmap canvases, for tesselin.exe and the Wine test host.
#ifndef TESSELIN_PLATFORM_WIN32_HOST_SCRIPT_HOST_H
#define TESSELIN_PLATFORM_WIN32_HOST_SCRIPT_HOST_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace tesselin::windows {

// A canvas's pixels as its DIB holds them: 0x00RRGGBB, bottom row first.
struct Pixels {
    int width = 0, height = 0;
    const uint32_t *bits = nullptr;
    // Row y counted from the top.
    const uint32_t *Row(int y) const { return bits + std::size_t(height - 1 - y) * std::size_t(width); }
};

// Writes what the run left: the canvas window's picture (the left canvas or
// the anaglyph made on it) and the right canvas, either null when there is
// none. False when a write failed.
using PictureWriter = std::function<bool(const Pixels *window, const Pixels *right)>;

struct RunOptions {
    std::FILE *messages = stdout; // SCRIPT:LINE: TEXT, one a line
    bool sayLoaded = true;        // a first line "loaded: NAME"
};

// Loads the module, runs the script file's lines and hands the canvases to
// write before the module is unloaded. 0 when no command failed, 1 when one
// did or a write failed, 2 when the module or the script cannot be opened.
int RunScriptFile(const std::string &modulePath, const std::string &scriptPath, const PictureWriter &write,
                  const RunOptions &options = {});

} // namespace tesselin::windows

#endif
