// The one routine that turns a stereo pair into a picture, held against what
// the places that made their own pictures before computed: side by side by
// copying rows, and the script's anaglyph by a loop over rows of pixels.
// Every look (method, layout, swap, script colours) is checked byte for byte
// on eyes of unequal sizes filled with varied pixels.
#include "app/picture/stereo_pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

using namespace tesselin;

Image Noise(int w, int h, unsigned seed)
{
    Image image(w, h);
    std::mt19937 random(seed);
    for (uint32_t &pixel : image.pixels)
        pixel = random() & 0x00FFFFFFu;
    return image;
}

// Side by side as the session and the live window made it: rows copied, the
// shorter eye padded with white.
Image CopiedSideBySide(const Image &left, const Image &right)
{
    Image out(left.width + right.width, std::max(left.height, right.height));
    for (int y = 0; y < left.height; y++)
        std::memcpy(&out.At(0, y), &left.pixels[std::size_t(y) * left.width], left.width * 4u);
    for (int y = 0; y < right.height; y++)
        std::memcpy(&out.At(left.width, y), &right.pixels[std::size_t(y) * right.width], right.width * 4u);
    return out;
}

// One output channel of the script's anaglyph, worked out in floating point
// (a sum of whole numbers over 255 never ends in exactly one half).
int MixedChannel(int left, int right, int leftWeight, int rightWeight)
{
    double mixed = (double(left) * leftWeight + double(right) * rightWeight) / 255.0;
    return std::min(255, int(std::floor(mixed + 0.5)));
}

uint32_t MixedPixel(uint32_t l, uint32_t r, const ScriptColours &c)
{
    return Rgb(MixedChannel(Red(l), Red(r), Red(c.left), Red(c.right)),
               MixedChannel(Green(l), Green(r), Green(c.left), Green(c.right)),
               MixedChannel(Blue(l), Blue(r), Blue(c.left), Blue(c.right)));
}

struct Sizes {
    int lw, lh, rw, rh;
};
const Sizes PairSizes[] = {{7, 5, 7, 5}, {9, 4, 6, 7}, {3, 8, 10, 2}, {1, 1, 1, 1}, {0, 0, 4, 3}};

const ScriptColours Colours[] = {RedCyanColours, {0x00FF00u, 0xFF00FFu}, {0x7F7F7Fu, 0x0100C8u}, {0xFFFFFFu, 0xFFFFFFu}};

TEST(StereoPicture, SideBySideIsTheCopiedRowsForEverySizeAndSwap)
{
    for (const Sizes &s : PairSizes)
        for (bool swap : {false, true}) {
            Image left = Noise(s.lw, s.lh, 1), right = Noise(s.rw, s.rh, 2);
            StereoLook look;
            look.swapEyes = swap;
            Image expected = swap ? CopiedSideBySide(right, left) : CopiedSideBySide(left, right);
            Image made = SideBySidePicture(left, right, look);
            EXPECT_EQ(made.width, expected.width);
            EXPECT_EQ(made.height, expected.height);
            EXPECT_TRUE(made.pixels == expected.pixels) << s.lw << "x" << s.lh << " swap " << swap;
            // A layout in the look does not change what side by side means.
            look.layout = StereoLayout::OverUnder;
            EXPECT_TRUE(SideBySidePicture(left, right, look).pixels == expected.pixels);
        }
}

TEST(StereoPicture, ArrangingFollowsTheLayoutWithTheEyesInTheLooksOrder)
{
    const StereoLayout layouts[] = {StereoLayout::Parallel, StereoLayout::CrossEyed, StereoLayout::OverUnder,
                                    StereoLayout::HalfWidth, StereoLayout::HalfHeight};
    for (const Sizes &s : PairSizes)
        for (StereoLayout layout : layouts)
            for (bool swap : {false, true}) {
                Image left = Noise(s.lw, s.lh, 3), right = Noise(s.rw, s.rh, 4);
                StereoLook look{AnaglyphMethod::Dubois, swap, layout};
                Image expected = swap ? ArrangePair(right, left, layout) : ArrangePair(left, right, layout);
                Image made = StereoPicture(left, right, look, true, Colours[0]);
                EXPECT_TRUE(made.pixels == expected.pixels && made.width == expected.width)
                    << NameOf(layout) << " swap " << swap;
                // Without arranging, the layout is not used: the method's anaglyph.
                Image anaglyph = StereoPicture(left, right, look, false, std::nullopt);
                Image byMethod = swap ? ComposeAnaglyphImage(right, left, look.anaglyph)
                                      : ComposeAnaglyphImage(left, right, look.anaglyph);
                EXPECT_TRUE(anaglyph.pixels == byMethod.pixels) << NameOf(layout);
            }
}

TEST(StereoPicture, ScriptColoursMixEveryPixelOfTheCommonAreaAndKeepTheRest)
{
    for (const Sizes &s : PairSizes)
        for (const ScriptColours &colours : Colours)
            for (bool swap : {false, true}) {
                Image left = Noise(s.lw, s.lh, 5), right = Noise(s.rw, s.rh, 6);
                StereoLook look;
                look.swapEyes = swap;
                Image made = StereoPicture(left, right, look, true, colours);
                const Image &first = swap ? right : left, &second = swap ? left : right;
                ASSERT_EQ(made.width, first.width);
                ASSERT_EQ(made.height, first.height);
                for (int y = 0; y < made.height; y++)
                    for (int x = 0; x < made.width; x++) {
                        bool both = x < second.width && y < second.height;
                        uint32_t expected = both ? MixedPixel(first.At(x, y), second.At(x, y), colours) : first.At(x, y);
                        ASSERT_EQ(made.At(x, y), expected) << x << "," << y << " swap " << swap;
                    }
            }
}

TEST(StereoPicture, WithoutScriptColoursTheLeftEyeIsShownAsDrawnSwappedOrNot)
{
    // What the canvas window shows before the script makes an anaglyph.
    Image left = Noise(5, 4, 7), right = Noise(5, 4, 8);
    for (bool swap : {false, true}) {
        StereoLook look;
        look.swapEyes = swap;
        EXPECT_TRUE(StereoPicture(left, right, look, false, std::nullopt).pixels == left.pixels);
    }
}

TEST(ScriptColours, RowsWithAStrideMixOnlyTheAreaAsked)
{
    // Canvas rows are longer than the picture; what lies past the width and
    // below the height must stay as it was.
    for (const ScriptColours &colours : Colours) {
        const int width = 5, height = 3, stride = 8, rows = 4;
        Image left = Noise(stride, rows, 9), right = Noise(stride, rows, 10);
        Image mixed = left;
        ApplyScriptColours({mixed.pixels.data(), stride}, {right.pixels.data(), stride}, width, height, colours);
        for (int y = 0; y < rows; y++)
            for (int x = 0; x < stride; x++) {
                bool inside = x < width && y < height;
                uint32_t expected = inside ? MixedPixel(left.At(x, y), right.At(x, y), colours) : left.At(x, y);
                ASSERT_EQ(mixed.At(x, y), expected) << x << "," << y;
            }
    }
}

TEST(ScriptColours, RedCyanIsTheColourMethodAndWhiteOnBothEyesSaturates)
{
    Image left = Noise(6, 6, 11), right = Noise(6, 6, 12);
    EXPECT_TRUE(ScriptAnaglyphImage(left, right, RedCyanColours).pixels ==
                ComposeAnaglyphImage(left, right, AnaglyphMethod::Color).pixels);
    Image white = ScriptAnaglyphImage(Image(2, 2, 0xFFFFFF), Image(2, 2, 0xFFFFFF), {0xFFFFFF, 0xFFFFFF});
    for (uint32_t pixel : white.pixels)
        EXPECT_EQ(pixel, 0xFFFFFFu);
}

} // namespace
