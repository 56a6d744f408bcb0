// The Wine test host: a script through tesselin.dll (the Windows host's core,
// platform/win32/host) with the canvases written as BMP files, which the
// check compares with the Linux host's PNGs.
//
//   wine_host.exe MODULE.dll SCRIPT OUT.bmp [RIGHT.bmp]
//
// Exit status: 0 when no command failed, 1 when one did or an image could not
// be written, 2 when the module or the script cannot be opened.
#include "platform/win32/host/script_host.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tesselin::windows::Pixels;

// A 24-bit BMP, bottom row first as the format wants.
bool WriteBmp(const std::string &path, const Pixels &canvas)
{
    int rowBytes = (canvas.width * 3 + 3) & ~3;
    uint32_t imageBytes = uint32_t(rowBytes) * uint32_t(canvas.height);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + imageBytes;
    info.biSize = sizeof(info);
    info.biWidth = canvas.width;
    info.biHeight = canvas.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageBytes;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(&file), sizeof(file));
    out.write(reinterpret_cast<const char *>(&info), sizeof(info));
    std::vector<char> row(std::size_t(rowBytes), 0);
    for (int y = canvas.height - 1; y >= 0; y--) {
        const uint32_t *pixels = canvas.Row(y);
        for (int x = 0; x < canvas.width; x++) {
            row[std::size_t(x) * 3] = char(pixels[x] & 0xFF);
            row[std::size_t(x) * 3 + 1] = char((pixels[x] >> 8) & 0xFF);
            row[std::size_t(x) * 3 + 2] = char((pixels[x] >> 16) & 0xFF);
        }
        out.write(row.data(), rowBytes);
    }
    return bool(out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: wine_host MODULE.dll SCRIPT OUT.bmp [RIGHT.bmp]\n");
        return 2;
    }
    std::string left = argv[3], right = argc > 4 ? argv[4] : "";
    return tesselin::windows::RunScriptFile(argv[1], argv[2], [&](const Pixels *window, const Pixels *rightCanvas) {
        bool ok = !window || WriteBmp(left, *window);
        if (!right.empty() && rightCanvas)
            ok = WriteBmp(right, *rightCanvas) && ok;
        return ok;
    });
}
