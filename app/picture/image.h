// Room picture/ (floor 1): pure functions on images: linear light,
// anaglyphs, stereo layouts and turning a stereo pair into one picture. No
// files, no OpenGL, no state. May include process/ only.
//
// Images as the canvases hold them: 0x00BBGGRR pixels (COLORREF order), top
// row first, no padding between rows.
#ifndef TESSELIN_APP_PICTURE_IMAGE_H
#define TESSELIN_APP_PICTURE_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesselin {

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0x00FFFFFFu)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    bool Empty() const { return width < 1 || height < 1; }
    uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    uint32_t &At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline int Red(uint32_t c) { return c & 0xFF; }
inline int Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline int Blue(uint32_t c) { return (c >> 16) & 0xFF; }
inline uint32_t Rgb(int r, int g, int b)
{
    return uint32_t(r & 0xFF) | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF) << 16;
}

} // namespace tesselin

#endif
