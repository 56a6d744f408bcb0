// The row reducer: block averages in linear light, partial blocks at the
// edges, colours weighted by coverage, and 8-bit values kept through it.
#include "platform/portable/row_reducer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using Pixels = std::vector<unsigned char>;

Pixels Reduce(const Pixels &source, int width, int height, int channels, int factorX, int factorY, int *outWidth,
              int *outHeight)
{
    RowReducer reducer;
    EXPECT_TRUE(BeginRowReducer(&reducer, width, height, channels, factorX, factorY));
    for (int y = 0; y < height; y++)
        AddSourceRow(&reducer, source.data() + size_t(y) * width * channels);
    unsigned char *pixels = FinishRowReducer(&reducer);
    EXPECT_NE(pixels, nullptr);
    *outWidth = reducer.outWidth;
    *outHeight = reducer.outHeight;
    Pixels out(pixels, pixels + size_t(reducer.outWidth) * reducer.outHeight * channels);
    std::free(pixels);
    return out;
}

TEST(RowReducer, BlocksAverageInLinearLight)
{
    struct Case {
        const char *what;
        Pixels source;
        int width, height, channels, factorX, factorY;
        Pixels expected;
        int outWidth, outHeight;
    } cases[] = {
        {"black and white average to the sRGB of half the light", {0, 255, 255, 0}, 2, 2, 1, 2, 2, {188}, 1, 1},
        {"a factor of one keeps every value", {0, 1, 2, 5, 17, 128, 254, 255}, 8, 1, 1, 1, 1,
         {0, 1, 2, 5, 17, 128, 254, 255}, 8, 1},
        {"the edge block holds what is left", {255, 255, 255, 0, 0}, 5, 1, 1, 2, 1, {255, 188, 0}, 3, 1},
        {"rows alone, a third of the light each", {255, 0, 0, 0, 255, 0}, 1, 6, 1, 1, 3, {156, 156}, 1, 2},
        {"a clear pixel lends no colour, only coverage", {255, 0, 0, 255, 0, 0, 255, 0}, 2, 1, 4, 2, 1,
         {255, 0, 0, 128}, 1, 1},
        {"all clear stays clear", {9, 9, 9, 0, 7, 7, 7, 0}, 2, 1, 4, 2, 1, {0, 0, 0, 0}, 1, 1},
    };
    for (const Case &c : cases) {
        int w = 0, h = 0;
        Pixels out = Reduce(c.source, c.width, c.height, c.channels, c.factorX, c.factorY, &w, &h);
        EXPECT_EQ(w, c.outWidth) << c.what;
        EXPECT_EQ(h, c.outHeight) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST(RowReducer, EveryByteValueSurvivesAFactorOfOne)
{
    Pixels all(256);
    for (int i = 0; i < 256; i++)
        all[i] = static_cast<unsigned char>(i);
    int w = 0, h = 0;
    EXPECT_EQ(Reduce(all, 256, 1, 1, 1, 1, &w, &h), all);
}

TEST(RowReducer, RefusesWhatItCannotReduce)
{
    RowReducer reducer;
    EXPECT_FALSE(BeginRowReducer(&reducer, 0, 4, 3, 2, 2));
    EXPECT_FALSE(BeginRowReducer(&reducer, 4, 4, 3, 0, 2));
    EXPECT_FALSE(BeginRowReducer(&reducer, 4, 4, 5, 2, 2));
    // Fewer rows than the picture has: no picture.
    ASSERT_TRUE(BeginRowReducer(&reducer, 2, 4, 1, 1, 1));
    unsigned char row[2] = {1, 2};
    AddSourceRow(&reducer, row);
    EXPECT_EQ(FinishRowReducer(&reducer), nullptr);
    AbandonRowReducer(&reducer);
}

}
