// Anaglyphs by method and stereo layouts, judged by what a viewer would see:
// neutral colours stay neutral, each eye reaches only its own channels, and
// each eye lands where its layout puts it.
#include "app/picture/anaglyph.h"
#include "app/picture/layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace tesselin;

Image Filled(int w, int h, uint32_t colour) { return Image(w, h, colour); }

int Channel(uint32_t c, int channel) { return channel == 0 ? Red(c) : channel == 1 ? Green(c) : Blue(c); }

std::string Text(uint32_t c)
{
    return "rgb(" + std::to_string(Red(c)) + ", " + std::to_string(Green(c)) + ", " + std::to_string(Blue(c)) + ")";
}

// Which output channels carry which eye (bit 0 red, 1 green, 2 blue), and how
// much of a lit eye may show in the other eye's channels.
struct MethodCase {
    AnaglyphMethod method;
    unsigned leftChannels, rightChannels;
    int leak;
};

const MethodCase MethodCases[] = {
    {AnaglyphMethod::Color, 0b001, 0b110, 0},
    {AnaglyphMethod::HalfColor, 0b001, 0b110, 0},
    {AnaglyphMethod::Gray, 0b001, 0b110, 0},
    {AnaglyphMethod::Dubois, 0b001, 0b110, 0},
    {AnaglyphMethod::GreenMagenta, 0b010, 0b101, 0},
    // The amber-blue fit lets a little of the right eye into green.
    {AnaglyphMethod::AmberBlue, 0b011, 0b100, 70},
};

TEST(AnaglyphMethods, NeutralPairsStayNeutralAndEachEyeKeepsToItsChannels)
{
    for (const MethodCase &c : MethodCases) {
        SCOPED_TRACE(std::string(NameOf(c.method)));
        uint32_t white = ComposeAnaglyphImage(Filled(4, 3, 0xFFFFFF), Filled(4, 3, 0xFFFFFF), c.method).At(1, 1);
        for (int ch = 0; ch < 3; ch++)
            EXPECT_GE(Channel(white, ch), 253) << Text(white);
        EXPECT_EQ(ComposeAnaglyphImage(Filled(4, 3, 0), Filled(4, 3, 0), c.method).At(2, 2), 0u);

        uint32_t leftOnly = ComposeAnaglyphImage(Filled(4, 3, 0xFFFFFF), Filled(4, 3, 0), c.method).At(0, 0);
        uint32_t rightOnly = ComposeAnaglyphImage(Filled(4, 3, 0), Filled(4, 3, 0xFFFFFF), c.method).At(3, 2);
        for (int ch = 0; ch < 3; ch++) {
            bool left = c.leftChannels >> ch & 1, right = c.rightChannels >> ch & 1;
            ASSERT_NE(left, right);
            EXPECT_GE(Channel(left ? leftOnly : rightOnly, ch), 230) << "channel " << ch;
            EXPECT_LE(Channel(left ? rightOnly : leftOnly, ch), c.leak) << "channel " << ch;
        }
    }
}

TEST(AnaglyphMethods, GreyPairsStayGreyInGray)
{
    for (uint32_t colour : {0x808080u, 0x202020u, 0x3366CCu, 0x00FF00u, 0xFF00FFu}) {
        uint32_t out = ComposeAnaglyphImage(Filled(2, 2, colour), Filled(2, 2, colour), AnaglyphMethod::Gray).At(1, 0);
        EXPECT_EQ(Red(out), Green(out)) << Text(colour);
        EXPECT_EQ(Green(out), Blue(out)) << Text(colour);
        if (Red(colour) == Green(colour) && Green(colour) == Blue(colour)) {
            EXPECT_NEAR(Red(out), Red(colour), 1);
        }
    }
}

TEST(AnaglyphMethods, ColourMethodsKeepTheRightEyesColourAndDiffer)
{
    // A saturated right eye: color and half-color pass it on whole; gray does not.
    Image left = Filled(2, 2, 0x2040C0), right = Filled(2, 2, 0x30A010);
    uint32_t color = ComposeAnaglyphImage(left, right, AnaglyphMethod::Color).At(0, 0);
    uint32_t half = ComposeAnaglyphImage(left, right, AnaglyphMethod::HalfColor).At(0, 0);
    uint32_t gray = ComposeAnaglyphImage(left, right, AnaglyphMethod::Gray).At(0, 0);
    EXPECT_EQ(color, Rgb(Red(0x2040C0), Green(0x30A010), Blue(0x30A010)));
    EXPECT_EQ(Green(half), Green(0x30A010));
    EXPECT_EQ(Blue(half), Blue(0x30A010));
    EXPECT_NE(Red(half), Red(color)); // the left eye's grey, not its red
    EXPECT_EQ(Green(gray), Blue(gray));
}

TEST(AnaglyphMethods, LeastSquaresWorkInLinearLight)
{
    // A pure red left eye gives red = 0.4561 in linear light: about 179 once
    // encoded, where the same weights on encoded values would give 116.
    uint32_t out = ComposeAnaglyphImage(Filled(1, 1, Rgb(255, 0, 0)), Filled(1, 1, 0), AnaglyphMethod::Dubois).At(0, 0);
    EXPECT_NEAR(Red(out), 179, 2) << Text(out);
    // Middle grey in both eyes stays middle grey.
    uint32_t grey = ComposeAnaglyphImage(Filled(1, 1, 0x808080), Filled(1, 1, 0x808080), AnaglyphMethod::Dubois).At(0, 0);
    for (int ch = 0; ch < 3; ch++)
        EXPECT_NEAR(Channel(grey, ch), 128, 2) << Text(grey);
}

TEST(AnaglyphMethods, NamesReadBackAndUnknownNamesAreRefused)
{
    for (auto method : {AnaglyphMethod::Script, AnaglyphMethod::Color, AnaglyphMethod::HalfColor, AnaglyphMethod::Gray,
                        AnaglyphMethod::Dubois, AnaglyphMethod::GreenMagenta, AnaglyphMethod::AmberBlue})
        EXPECT_EQ(AnaglyphMethodNamed(NameOf(method)), method);
    for (const char *name : {"", "Dubois", "red-cyan", "colour", "gray "})
        EXPECT_FALSE(AnaglyphMethodNamed(name)) << name;
}

TEST(AnaglyphMethods, UnequalEyesGiveTheCommonArea)
{
    Image out = ComposeAnaglyphImage(Filled(10, 4, 0), Filled(6, 8, 0), AnaglyphMethod::Color);
    EXPECT_EQ(out.width, 6);
    EXPECT_EQ(out.height, 4);
}

// ---- Layouts

constexpr uint32_t LeftColour = 0x0000FF, RightColour = 0xFF0000; // red, blue

struct Region {
    double x0, y0, x1, y1; // fractions of the output
    uint32_t colour;
};

struct LayoutCase {
    StereoLayout layout;
    int width, height; // for 40 x 30 eyes
    std::vector<Region> regions;
};

TEST(StereoLayouts, EachEyeLandsWhereItsLayoutPutsIt)
{
    const LayoutCase cases[] = {
        {StereoLayout::Parallel, 80, 30, {{0, 0, 0.5, 1, LeftColour}, {0.5, 0, 1, 1, RightColour}}},
        {StereoLayout::CrossEyed, 80, 30, {{0, 0, 0.5, 1, RightColour}, {0.5, 0, 1, 1, LeftColour}}},
        {StereoLayout::OverUnder, 40, 60, {{0, 0, 1, 0.5, LeftColour}, {0, 0.5, 1, 1, RightColour}}},
        {StereoLayout::HalfWidth, 40, 30, {{0, 0, 0.5, 1, LeftColour}, {0.5, 0, 1, 1, RightColour}}},
        {StereoLayout::HalfHeight, 40, 30, {{0, 0, 1, 0.5, LeftColour}, {0, 0.5, 1, 1, RightColour}}},
    };
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(std::string(NameOf(c.layout)));
        Image out = ArrangePair(Filled(40, 30, LeftColour), Filled(40, 30, RightColour), c.layout);
        ASSERT_EQ(out.width, c.width);
        ASSERT_EQ(out.height, c.height);
        for (const Region &r : c.regions) {
            long wrong = 0;
            for (int y = int(r.y0 * out.height); y < int(r.y1 * out.height); y++)
                for (int x = int(r.x0 * out.width); x < int(r.x1 * out.width); x++)
                    wrong += out.At(x, y) != r.colour;
            EXPECT_EQ(wrong, 0) << "region " << r.x0 << "," << r.y0;
        }
        EXPECT_EQ(StereoLayoutNamed(NameOf(c.layout)), c.layout);
    }
}

TEST(StereoLayouts, HalfFormsSqueezeEachEyeInLinearLight)
{
    // Each eye: a black column pair at x = 10, 11 (left) or 20, 21 (right) on
    // white, and a one-pixel black and white checkerboard in rows 0 to 3.
    auto eye = [](int column) {
        Image image(40, 30, 0xFFFFFF);
        for (int y = 0; y < 30; y++)
            image.At(column, y) = image.At(column + 1, y) = 0;
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 40; x++)
                if (x != column && x != column + 1)
                    image.At(x, y) = (x + y) % 2 ? 0xFFFFFF : 0;
        return image;
    };
    Image out = ArrangePair(eye(10), eye(20), StereoLayout::HalfWidth);
    EXPECT_EQ(out.At(5, 15), 0u);       // the left eye's column, halved
    EXPECT_EQ(out.At(20 + 10, 15), 0u); // the right eye's, in the right half
    EXPECT_EQ(out.At(8, 15), 0xFFFFFFu);
    // Black and white averaged as light: 0.5 in linear light, 188 encoded (not 128).
    EXPECT_NEAR(Red(out.At(2, 1)), 188, 1);

    Image tall = ArrangePair(eye(10), eye(20), StereoLayout::HalfHeight);
    EXPECT_EQ(tall.At(10, 7), 0u);
    EXPECT_EQ(tall.At(20, 15 + 7), 0u);
    EXPECT_EQ(tall.At(10, 15 + 7), 0xFFFFFFu);
    // Rows 0 and 1 of the checkerboard average to the same mid grey.
    EXPECT_NEAR(Green(tall.At(3, 0)), 188, 1);
}

TEST(StereoLayouts, FullFormsPadAShorterEyeWithWhite)
{
    Image out = ArrangePair(Filled(10, 8, 0), Filled(6, 4, 0), StereoLayout::Parallel);
    EXPECT_EQ(out.width, 16);
    EXPECT_EQ(out.height, 8);
    EXPECT_EQ(out.At(12, 2), 0u);
    EXPECT_EQ(out.At(12, 6), 0xFFFFFFu);
    Image over = ArrangePair(Filled(10, 8, 0), Filled(6, 4, 0), StereoLayout::OverUnder);
    EXPECT_EQ(over.width, 10);
    EXPECT_EQ(over.height, 12);
    EXPECT_EQ(over.At(8, 10), 0xFFFFFFu);
    EXPECT_EQ(over.At(2, 10), 0u);
}

TEST(StereoLayouts, OddSizesAndOnePixelEyesKeepTheLeftEyesSize)
{
    for (auto [w, h] : {std::pair{1, 1}, {7, 5}, {41, 31}}) {
        for (auto layout : {StereoLayout::HalfWidth, StereoLayout::HalfHeight}) {
            Image out = ArrangePair(Filled(w, h, LeftColour), Filled(w, h, RightColour), layout);
            EXPECT_EQ(out.width, w);
            EXPECT_EQ(out.height, h);
            // The last pixel is the right eye's.
            EXPECT_EQ(out.At(w - 1, h - 1), RightColour) << w << " x " << h;
        }
    }
}

} // namespace
