// Picture files of each kind the portable loader reads, drawn by the picture
// command on the recording host's canvases: their colours must appear where
// the fit puts them, the margins stay untouched, transparency lets the canvas
// show, reduction averages and enlargement is smooth.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

namespace {

class PictureFormat : public PluginTest, public ::testing::WithParamInterface<const char *> {
protected:
    TempDir dir;
};

TEST_P(PictureFormat, QuadrantsLandWhereTheFitPutsThem)
{
    // 48 x 32 on 400 x 200 fills the height, from 50 to 350; the quadrants
    // meet at (200, 100). Their edges fall on JPEG block edges, and a margin
    // of 4 pixels keeps the checks off the blended seams.
    std::string path = dir / (std::string("quadrants") + GetParam());
    ASSERT_TRUE(WritePicture(path, Quadrants(48, 32, Red, Green, Blue, Yellow)));
    LoadWithCanvas("canvas 400 200");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
    const FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    int tolerance = std::string(GetParam()) == ".jpg" ? 12 : 0;
    struct { Rgba colour; int left, top; } quadrants[] = {{Red, 50, 0}, {Green, 200, 0}, {Blue, 50, 100}, {Yellow, 200, 100}};
    for (const auto &q : quadrants)
        EXPECT_EQ(CountNear(canvas, q.colour.Colour(), tolerance, q.left + 4, q.top + 4, q.left + 146, q.top + 96),
                  142 * 92)
            << GetParam() << " " << q.left << ", " << q.top;
    EXPECT_EQ(canvas.Count(White, 0, 0, 50, 200) + canvas.Count(White, 350, 0, 400, 200), 2 * 50 * 200);
    EXPECT_EQ(canvas.Count(White), 2 * 50 * 200);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictureFormat, ::testing::Values(".png", ".jpg", ".bmp", ".gif"),
                         [](const auto &info) { return std::string(info.param + 1); });

class PictureDrawing : public PluginTest {
protected:
    TempDir dir;
    const FakeCanvas &Show(const std::string &canvas, const std::string &name, const std::vector<TestImage> &frames,
                           const std::string &before = "")
    {
        EXPECT_TRUE(WritePicture(dir / name, frames));
        LoadWithCanvas(canvas);
        if (!before.empty()) {
            EXPECT_EQ(Run(before), "");
        }
        EXPECT_EQ(Run("picture l 0 0 1 abs " + dir / name), "");
        return *host.CanvasOf(LeftCanvas);
    }
};

TEST_F(PictureDrawing, GifShowsItsFirstFrameAndTransparencyShowsTheCanvas)
{
    TestImage first(30, 30, Red), second(30, 30, Blue);
    for (int y = 10; y < 20; y++)
        for (int x = 10; x < 20; x++)
            first.At(x, y).a = 0;
    const FakeCanvas &canvas = Show("canvas 300 300", "two.gif", {first, second}, "erase black");
    EXPECT_EQ(canvas.Count(Blue.Colour()), 0);
    EXPECT_EQ(canvas.Count(Red.Colour(), 0, 0, 300, 90), 300 * 90);
    EXPECT_EQ(canvas.Count(Black, 110, 110, 190, 190), 80 * 80);
}

TEST_F(PictureDrawing, HalfTransparentPngBlendsOverTheCanvas)
{
    const FakeCanvas &canvas = Show("canvas 100 100", "half.png", {TestImage(10, 10, Rgba{255, 0, 0, 128})}, "erase black");
    EXPECT_EQ(CountNear(canvas, 0x000080, 1, 0, 0, 100, 100), 100 * 100);
}

TEST_F(PictureDrawing, ReductionAveragesFineDetailInLinearLight)
{
    // One-pixel black and white stripes, eight to a canvas pixel: an even
    // grey of half the light, 188 in sRGB.
    TestImage stripes(400, 400, Rgba{255, 255, 255});
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 400; x += 2)
            stripes.At(x, y) = Rgba{0, 0, 0};
    EXPECT_EQ(CountNear(Show("canvas 50 50", "stripes.png", {stripes}), 0xBCBCBC, 3, 0, 0, 50, 50), 50 * 50);
}

TEST_F(PictureDrawing, LargeJpegDecodedSmallKeepsTheDetailTheCanvasShows)
{
    // Stripes four pixels wide drawn at a quarter size are one canvas pixel
    // each: decoding the JPEG smaller than drawn would blur them to grey.
    TestImage stripes(800, 400, Rgba{255, 255, 255});
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 800; x++)
            if (x / 4 % 2 == 0)
                stripes.At(x, y) = Rgba{0, 0, 0};
    const FakeCanvas &canvas = Show("canvas 200 100", "stripes.jpg", {stripes});
    EXPECT_GT(CountNear(canvas, Black, 64, 10, 50, 190, 51), 80);
    EXPECT_GT(CountNear(canvas, White, 64, 10, 50, 190, 51), 80);
}

TEST_F(PictureDrawing, EnlargementIsSmooth)
{
    // Two pixels, black and white, stretched to 200: a steady ramp between.
    TestImage pair(2, 1, Rgba{0, 0, 0});
    pair.At(1, 0) = Rgba{255, 255, 255};
    const FakeCanvas &canvas = Show("canvas 200 100", "pair.png", {pair});
    int steps = 0;
    for (int x = 1; x < 200; x++) {
        EXPECT_GE(canvas.Pixel(x, 50) & 0xFF, canvas.Pixel(x - 1, 50) & 0xFF) << x;
        steps += canvas.Pixel(x, 50) != canvas.Pixel(x - 1, 50);
    }
    EXPECT_GT(steps, 40);
    EXPECT_EQ(canvas.Pixel(0, 50), Black);
    EXPECT_EQ(canvas.Pixel(199, 50), White);
}

}
