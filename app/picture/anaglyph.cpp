#include "app/picture/anaglyph.h"
#include "app/picture/linear_light.h"
#include "app/names/named_values.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tesselin {

namespace {

constexpr auto Names = std::to_array<Named<AnaglyphMethod>>({
    {"script", AnaglyphMethod::Script},
    {"color", AnaglyphMethod::Color},
    {"half-color", AnaglyphMethod::HalfColor},
    {"gray", AnaglyphMethod::Gray},
    {"dubois", AnaglyphMethod::Dubois},
    {"green-magenta", AnaglyphMethod::GreenMagenta},
    {"amber-blue", AnaglyphMethod::AmberBlue},
});

// Rows give the output's red, green and blue from an eye's linear red,
// green and blue: least-squares fits of what each eye should see through
// its filter (E. Dubois, 2001; later published values for each kind of
// glasses). The rows of both eyes together sum to about 1, so white stays white.
using Matrix3 = std::array<std::array<float, 3>, 3>;
struct EyeMatrices {
    Matrix3 left, right;
};

constexpr EyeMatrices RedCyan{
    {{{0.456100f, 0.500484f, 0.176381f}, {-0.0400822f, -0.0378246f, -0.0157589f},
      {-0.0152161f, -0.0205971f, -0.00546856f}}},
    {{{-0.0434706f, -0.0879388f, -0.00155529f}, {0.378476f, 0.73364f, -0.0184503f},
      {-0.0721527f, -0.112961f, 1.2264f}}},
};
constexpr EyeMatrices GreenMagenta{
    {{{-0.062f, -0.158f, -0.039f}, {0.284f, 0.668f, 0.143f}, {-0.015f, -0.027f, 0.021f}}},
    {{{0.529f, 0.705f, 0.024f}, {-0.016f, -0.015f, -0.065f}, {0.009f, 0.075f, 0.937f}}},
};
constexpr EyeMatrices AmberBlue{
    {{{1.062f, -0.205f, 0.299f}, {-0.026f, 0.908f, 0.068f}, {-0.038f, -0.173f, 0.022f}}},
    {{{-0.016f, -0.123f, -0.017f}, {0.006f, 0.062f, -0.017f}, {0.094f, 0.185f, 0.911f}}},
};

uint32_t Matrixed(uint32_t l, uint32_t r, const EyeMatrices &m)
{
    const float lc[3] = {ToLinear(Red(l)), ToLinear(Green(l)), ToLinear(Blue(l))};
    const float rc[3] = {ToLinear(Red(r)), ToLinear(Green(r)), ToLinear(Blue(r))};
    uint8_t out[3];
    for (int row = 0; row < 3; row++) {
        float sum = 0;
        for (int k = 0; k < 3; k++)
            sum += m.left[row][k] * lc[k] + m.right[row][k] * rc[k];
        out[row] = ToSrgb(sum);
    }
    return Rgb(out[0], out[1], out[2]);
}

int Luma(uint32_t c)
{
    return int(std::lround(0.299 * Red(c) + 0.587 * Green(c) + 0.114 * Blue(c)));
}

uint32_t ComposePixel(uint32_t l, uint32_t r, AnaglyphMethod method)
{
    switch (method) {
    case AnaglyphMethod::Color:
        return Rgb(Red(l), Green(r), Blue(r));
    case AnaglyphMethod::HalfColor:
        return Rgb(Luma(l), Green(r), Blue(r));
    case AnaglyphMethod::Gray: {
        int right = Luma(r);
        return Rgb(Luma(l), right, right);
    }
    case AnaglyphMethod::Dubois:
        return Matrixed(l, r, RedCyan);
    case AnaglyphMethod::GreenMagenta:
        return Matrixed(l, r, GreenMagenta);
    case AnaglyphMethod::AmberBlue:
        return Matrixed(l, r, AmberBlue);
    case AnaglyphMethod::Script:
        break;
    }
    return l;
}

} // namespace

std::optional<AnaglyphMethod> AnaglyphMethodNamed(std::string_view name) { return ValueNamed(Names, name); }

std::string_view NameOf(AnaglyphMethod method) { return NameIn(Names, method); }

std::string AnaglyphMethodNames() { return NamesIn(Names); }

void ApplyScriptColours(PixelRows left, ConstPixelRows right, int width, int height, const ScriptColours &colours)
{
    unsigned lw[3], rw[3];
    for (int channel = 0; channel < 3; channel++) {
        lw[channel] = (colours.left >> (8 * channel)) & 0xFF;
        rw[channel] = (colours.right >> (8 * channel)) & 0xFF;
    }
    for (int y = 0; y < height; y++) {
        uint32_t *out = left.pixels + std::size_t(y) * left.stride;
        const uint32_t *in = right.pixels + std::size_t(y) * right.stride;
        for (int x = 0; x < width; x++) {
            uint32_t l = out[x], r = in[x], mixed = 0;
            for (int channel = 0; channel < 3; channel++) {
                unsigned shift = 8 * channel;
                unsigned sum = ((l >> shift) & 0xFF) * lw[channel] + ((r >> shift) & 0xFF) * rw[channel];
                mixed |= std::min((sum + 127) / 255, 255u) << shift;
            }
            out[x] = mixed;
        }
    }
}

Image ScriptAnaglyphImage(Image left, const Image &right, const ScriptColours &colours)
{
    int width = std::min(left.width, right.width), height = std::min(left.height, right.height);
    if (width > 0 && height > 0)
        ApplyScriptColours({left.pixels.data(), std::size_t(left.width)},
                           {right.pixels.data(), std::size_t(right.width)}, width, height, colours);
    return left;
}

Image ComposeAnaglyphImage(const Image &left, const Image &right, AnaglyphMethod method)
{
    Image out(std::min(left.width, right.width), std::min(left.height, right.height));
    for (int y = 0; y < out.height; y++)
        for (int x = 0; x < out.width; x++)
            out.At(x, y) = ComposePixel(left.At(x, y), right.At(x, y), method);
    return out;
}

} // namespace tesselin
