#include "app/picture/linear_light.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tesselin {

namespace {

struct Tables {
    std::array<float, 256> toLinear{};
    // Fine enough that each of the 256 values has its own entries.
    static constexpr int Steps = 4096;
    std::array<uint8_t, Steps + 1> toSrgb{};
    Tables()
    {
        for (int v = 0; v < 256; v++) {
            double c = v / 255.0;
            toLinear[v] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        for (int i = 0; i <= Steps; i++) {
            double l = double(i) / Steps;
            double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            toSrgb[i] = uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255));
        }
    }
};

const Tables &Table()
{
    static const Tables tables;
    return tables;
}

} // namespace

float ToLinear(int value) { return Table().toLinear[std::size_t(value & 0xFF)]; }

uint8_t ToSrgb(float linear)
{
    return Table().toSrgb[std::size_t(std::lround(std::clamp(linear, 0.0f, 1.0f) * Tables::Steps))];
}

} // namespace tesselin
