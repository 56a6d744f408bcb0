#include "app/picture/image.h"

#include <algorithm>
#include <cstring>

namespace tesselin {

void ComposeAnaglyph(uint32_t *left, const uint32_t *right, std::size_t count, uint32_t leftColour,
                     uint32_t rightColour)
{
    unsigned lw[3], rw[3];
    for (int channel = 0; channel < 3; channel++) {
        lw[channel] = (leftColour >> (8 * channel)) & 0xFF;
        rw[channel] = (rightColour >> (8 * channel)) & 0xFF;
    }
    for (std::size_t i = 0; i < count; i++) {
        uint32_t l = left[i], r = right[i], out = 0;
        for (int channel = 0; channel < 3; channel++) {
            unsigned shift = 8 * channel;
            unsigned sum = ((l >> shift) & 0xFF) * lw[channel] + ((r >> shift) & 0xFF) * rw[channel];
            out |= std::min((sum + 127) / 255, 255u) << shift;
        }
        left[i] = out;
    }
}

Image SideBySide(const Image &left, const Image &right)
{
    Image out(left.width + right.width, std::max(left.height, right.height));
    for (int y = 0; y < left.height; y++)
        std::memcpy(&out.At(0, y), &left.pixels[static_cast<std::size_t>(y) * left.width], left.width * 4u);
    for (int y = 0; y < right.height; y++)
        std::memcpy(&out.At(left.width, y), &right.pixels[static_cast<std::size_t>(y) * right.width],
                    right.width * 4u);
    return out;
}

} // namespace tesselin
