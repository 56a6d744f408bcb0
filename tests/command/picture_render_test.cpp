// Real picture files of each kind the portable loader reads, drawn by the
// picture command onto the recording host's canvases: the picture's colours
// must appear where the fit puts them, the margins must stay untouched, and
// transparency must let the canvas show through.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <functional>

namespace {

namespace fs = std::filesystem;

using Writer = std::function<bool(const fs::path &, const TestImage &)>;

struct Format {
    const char *name;
    const char *extension;
    Writer write;
    int tolerance; // lossy formats come back only near their colours
};

const Format Formats[] = {
    {"PNG", ".png", [](const fs::path &p, const TestImage &i) { return WritePng(p, i); }, 0},
    {"JPEG", ".jpg", [](const fs::path &p, const TestImage &i) { return WriteJpeg(p, i); }, 12},
    {"BMP", ".bmp", [](const fs::path &p, const TestImage &i) { return WriteBmp(p, i); }, 0},
    {"GIF", ".gif", [](const fs::path &p, const TestImage &i) { return WriteGif(p, {i}); }, 0},
};

class PictureRender : public PluginTest, public ::testing::WithParamInterface<Format> {
protected:
    TempDir dir;

    std::string Write(const TestImage &image, const std::string &stem = "picture")
    {
        fs::path path = dir / (stem + GetParam().extension);
        EXPECT_TRUE(GetParam().write(path, image));
        return path.string();
    }
    FakeCanvas &Left() { return *host.CanvasOf(LeftCanvas); }
    static TestImage QuadrantPicture() { return Quadrants(48, 32, Red, Green, Blue, Yellow); }

    // Pixels of [left, right) x [top, bottom), shrunk by margin on every side
    // to keep off the blended seams, that are near colour.
    void ExpectArea(uint32_t colour, int left, int top, int right, int bottom, int margin = 4)
    {
        long area = long(right - left - 2 * margin) * (bottom - top - 2 * margin);
        EXPECT_EQ(CountNear(Left(), colour, GetParam().tolerance, left + margin, top + margin, right - margin,
                            bottom - margin),
                  area)
            << GetParam().name << " colour " << std::hex << colour << std::dec << " in (" << left << ", " << top
            << ", " << right << ", " << bottom << ")";
    }
};

TEST_P(PictureRender, QuadrantsLandWhereTheFitPutsThem)
{
    LoadWithCanvas("canvas 400 200");
    // 48 x 32 on 400 x 200: full height, from 200 - 200 * 1.5 / 2 = 50 to
    // 350; the quadrants meet at (200, 100). (Their edges fall on the JPEG
    // blocks' edges, so the lossy format has no seam to blur.)
    EXPECT_EQ(Run("picture l 0 0 1 abs " + Write(QuadrantPicture())), "");
    ExpectArea(Red.Colour(), 50, 0, 200, 100);
    ExpectArea(Green.Colour(), 200, 0, 350, 100);
    ExpectArea(Blue.Colour(), 50, 100, 200, 200);
    ExpectArea(Yellow.Colour(), 200, 100, 350, 200);
    EXPECT_EQ(Left().Count(White, 0, 0, 50, 200), 50 * 200);
    EXPECT_EQ(Left().Count(White, 350, 0, 400, 200), 50 * 200);
    EXPECT_EQ(Left().Count(White, 50, 0, 350, 200), 0);
}

TEST_P(PictureRender, MirroredAndPartlyOffTheCanvas)
{
    LoadWithCanvas("canvas 400 200");
    std::string path = Write(QuadrantPicture());
    // Scale -1 turns the picture about its centre: red goes bottom right.
    EXPECT_EQ(Run("picture l 0 0 -1 abs " + path), "");
    ExpectArea(Yellow.Colour(), 50, 0, 200, 100);
    ExpectArea(Blue.Colour(), 200, 0, 350, 100);
    ExpectArea(Red.Colour(), 200, 100, 350, 200);

    // Moved 150 left and 120 up to (-100, -120, 200, 80): the lower quadrants'
    // upper parts remain.
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Run("picture l -150 -120 1 abs " + path), "");
    ExpectArea(Blue.Colour(), 0, 0, 50, 80);
    ExpectArea(Yellow.Colour(), 50, 0, 200, 80);
    EXPECT_EQ(Left().Count(White, 200, 0, 400, 200), 200 * 200);
    EXPECT_EQ(Left().Count(White, 0, 80, 400, 200), 400 * 120);
}

TEST_P(PictureRender, EnlargedTwentyTimesShowsTheCentreOfThePicture)
{
    LoadWithCanvas("canvas 400 200");
    // Each picture pixel becomes 125 canvas pixels: around the centre the
    // four quadrants still meet at (200, 100).
    EXPECT_EQ(Run("picture l 0 0 20 abs " + Write(QuadrantPicture())), "");
    ExpectArea(Red.Colour(), 0, 0, 120, 20, 0);
    ExpectArea(Yellow.Colour(), 280, 180, 400, 200, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureRender, ::testing::ValuesIn(Formats),
                         [](const auto &info) { return std::string(info.param.name); });

using PictureFiles = PluginTest;

TEST_F(PictureFiles, GifShowsItsFirstFrameAndItsTransparentPixelsShowTheCanvas)
{
    TempDir dir;
    LoadWithCanvas("canvas 300 300");
    TestImage first(30, 30, Red), second(30, 30, Blue);
    for (int y = 10; y < 20; y++)
        for (int x = 10; x < 20; x++)
            first.At(x, y).a = 0;
    ASSERT_TRUE(WriteGif(dir / "two.gif", {first, second}));
    EXPECT_EQ(Run("erase black"), "");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / "two.gif").string()), "");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    EXPECT_EQ(canvas.Count(Blue.Colour()), 0) << "only the first frame is shown";
    EXPECT_EQ(canvas.Count(Red.Colour(), 0, 0, 300, 90), 300 * 90);
    EXPECT_EQ(canvas.Count(Black, 110, 110, 190, 190), 80 * 80);
}

TEST_F(PictureFiles, PngAlphaBlendsOverTheCanvas)
{
    TempDir dir;
    LoadWithCanvas("canvas 100 100");
    ASSERT_TRUE(WritePng(dir / "half.png", TestImage(10, 10, Rgba{255, 0, 0, 128})));
    EXPECT_EQ(Run("erase black"), "");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / "half.png").string()), "");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    EXPECT_EQ(CountNear(canvas, 0x000080, 1, 0, 0, 100, 100), 100 * 100);
}

TEST_F(PictureFiles, LargeJpegDrawnSmallKeepsItsColoursAndPlace)
{
    // Decoded at a reduced size: the colours and the fit must not change.
    TempDir dir;
    LoadWithCanvas("canvas 200 60");
    ASSERT_TRUE(WriteJpeg(dir / "large.jpg", Quadrants(1600, 800, Red, Green, Blue, Yellow)));
    EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / "large.jpg").string()), "");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    // Fitted (40, 0, 160, 60), quadrants meeting at (100, 30).
    EXPECT_EQ(CountNear(canvas, Red.Colour(), 12, 42, 2, 98, 28), 56 * 26);
    EXPECT_EQ(CountNear(canvas, Yellow.Colour(), 12, 102, 32, 158, 58), 56 * 26);
    EXPECT_EQ(canvas.Count(White, 0, 0, 40, 60) + canvas.Count(White, 160, 0, 200, 60), 2 * 40 * 60);
}

TEST_F(PictureFiles, ReductionAveragesFineDetail)
{
    // One-pixel black and white stripes reduced eight times read as an even
    // grey (linear-light average of the two: about 188), with no stripes left.
    TempDir dir;
    LoadWithCanvas("canvas 50 50");
    TestImage stripes(400, 400, Rgba{255, 255, 255});
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 400; x += 2)
            stripes.At(x, y) = Rgba{0, 0, 0};
    ASSERT_TRUE(WritePng(dir / "stripes.png", stripes));
    EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / "stripes.png").string()), "");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    EXPECT_EQ(CountNear(canvas, 0xBCBCBC, 3, 0, 0, 50, 50), 50 * 50);
}

TEST_F(PictureFiles, EnlargementIsSmooth)
{
    // Two pixels, black and white, stretched to 200: the values in between
    // rise steadily instead of jumping once.
    TempDir dir;
    LoadWithCanvas("canvas 200 100");
    TestImage pair(2, 1, Rgba{0, 0, 0});
    pair.At(1, 0) = Rgba{255, 255, 255};
    ASSERT_TRUE(WritePng(dir / "pair.png", pair));
    EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / "pair.png").string()), "");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    int distinct = 0;
    uint32_t previous = canvas.Pixel(0, 50);
    for (int x = 1; x < 200; x++) {
        uint32_t pixel = canvas.Pixel(x, 50);
        EXPECT_GE(pixel & 0xFF, previous & 0xFF) << "at " << x;
        distinct += pixel != previous;
        previous = pixel;
    }
    EXPECT_GT(distinct, 40);
    EXPECT_EQ(canvas.Pixel(0, 50), Black);
    EXPECT_EQ(canvas.Pixel(199, 50), White);
}

TEST_F(PictureFiles, ReducedJpegDecodingKeepsTheDetailTheCanvasCanShow)
{
    // Stripes four pixels wide, drawn at a quarter of the size, are one canvas
    // pixel each: a JPEG decoded smaller than the drawing would lose them.
    TempDir dir;
    LoadWithCanvas("canvas 200 100");
    TestImage stripes(800, 400, Rgba{255, 255, 255});
    for (int y = 0; y < 400; y++)
        for (int x = 0; x < 800; x++)
            if (x / 4 % 2 == 0)
                stripes.At(x, y) = Rgba{0, 0, 0};
    ASSERT_TRUE(WriteJpeg(dir / "stripes.jpg", stripes));
    EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / "stripes.jpg").string()), "");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    int dark = 0, light = 0;
    for (int x = 10; x < 190; x++) {
        uint32_t green = canvas.Pixel(x, 50) >> 8 & 0xFF;
        dark += green < 64;
        light += green > 192;
    }
    EXPECT_GT(dark, 80);
    EXPECT_GT(light, 80);
}

}
