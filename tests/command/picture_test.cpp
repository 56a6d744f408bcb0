// The picture command: where the fitted, scaled and moved picture lands, which
// canvas it goes to, how the path is made, and what draws nothing. A solid
// picture fills exactly the pixels of its rectangle, so each placement is read
// back from the canvas as the extent of the picture's colour.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <cstring>

namespace {

namespace fs = std::filesystem;

uint32_t Crc32(const std::string &bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; bit++)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// A PNG file whose header, checksum included, is sound but says 0 pixels wide.
std::string ZeroWidePng()
{
    std::string header("IHDR\0\0\0\0\0\0\0\x10\x08\x02\0\0\0", 17);
    uint32_t crc = Crc32(header);
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12);
    png += header;
    for (int shift = 24; shift >= 0; shift -= 8)
        png += char(crc >> shift);
    return png + std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
}

class PictureCommand : public PluginTest {
protected:
    TempDir dir;

    // A solid picture file of the given size, as an absolute path.
    std::string Solid(int width, int height, Rgba colour = Red, const std::string &name = "")
    {
        fs::path path = dir / (name.empty() ? "solid_" + std::to_string(width) + "x" + std::to_string(height) + ".png"
                                            : name);
        EXPECT_TRUE(WritePng(path, TestImage(width, height, colour)));
        return path.string();
    }

    FakeCanvas &Left() { return *host.CanvasOf(LeftCanvas); }
    FakeCanvas &Right() { return *host.CanvasOf(RightCanvas); }

    // Draws a solid red picture on the left canvas and gives back its extent.
    Extent Placed(int width, int height, const std::string &offsetsAndScale = "0 0 1")
    {
        EXPECT_EQ(Run("picture l " + offsetsAndScale + " abs " + Solid(width, height)), "");
        return ExtentOf(Left(), Red.Colour());
    }
};

TEST_F(PictureCommand, WidePictureOnTallRectangleSpansTheWidthWithEqualMarginsAboveAndBelow)
{
    LoadWithCanvas("canvas 100 200");
    EXPECT_EQ(Placed(40, 20), SolidExtent(0, 75, 100, 125));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"}))
        << "picture needs a canvas but not modelling";
}

TEST_F(PictureCommand, TallPictureOnWideRectangleSpansTheHeightWithEdgesTruncatedTowardZero)
{
    LoadWithCanvas("canvas 201 100");
    // Centre 201 / 2 = 100; near edge 100 - 100 * 0.75 / 2 = 62.5, cut to 62;
    // the far edge moves in as far: 201 - 62.
    EXPECT_EQ(Placed(30, 40), SolidExtent(62, 0, 139, 100));
}

TEST_F(PictureCommand, EqualRatiosTakeTheFullHeightAndAnOddEdgeSumWidensByOnePixelEachSide)
{
    // The stereo amount -1 narrows the rectangle to (1, 0, 200, 64): its edge
    // sum is odd. A 199 x 64 picture has exactly its ratio; the near edge
    // 100 - 199 / 2 = 0.5 is cut to 0, one pixel left of the rectangle.
    LoadWithCanvas("canvas 201 64 -1");
    ASSERT_EQ(CanvasView.rect.left, 1);
    ASSERT_EQ(CanvasView.rect.right, 200);
    EXPECT_EQ(Placed(199, 64), SolidExtent(0, 0, 201, 64));
}

TEST_F(PictureCommand, PictureOnTheWelcomeCanvasStaysInsideItsShrunkRectangle)
{
    Load();
    // The welcome rectangle is (2, 1, 398, 299): a 4:3 picture takes its full
    // height, centred about 200.
    EXPECT_EQ(Run("picture l 0 0 1 abs " + Solid(40, 30, Blue)), "");
    FakeCanvas &welcome = *host.canvases[0];
    EXPECT_EQ(ExtentOf(welcome, Blue.Colour()), SolidExtent(2, 1, 398, 299));
}

TEST_F(PictureCommand, ScaleTwoDoublesTheFittedRectangleAboutItsCentre)
{
    LoadWithCanvas("canvas 400 200");
    // Fitted (100, 0, 300, 200); scale 2 gives (0, -100, 400, 300), of which
    // the offsets show first the top-left corner, then the bottom-right one.
    EXPECT_EQ(Placed(10, 10, "50 150 2"), SolidExtent(50, 50, 400, 200));
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Placed(10, 10, "-50 -150 2"), SolidExtent(0, 0, 350, 150));
}

TEST_F(PictureCommand, ScaleHalfMovesEachSideInByAQuarterTruncatedTowardZero)
{
    LoadWithCanvas("canvas 201 100");
    // Fitted (62, 0, 139, 100): 77 x 100. dx = 77 * -0.5 / 2 = -19.25 -> -19;
    // dy = -25.
    EXPECT_EQ(Placed(30, 40, "0 0 0.5"), SolidExtent(81, 25, 120, 75));
    // A 31 x 40 picture fits as (61, 0, 140, 100); with scale 0.3,
    // dx = 79 * -0.7 / 2 = -27.65 -> -27 (rounding: -28), dy = -35.
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Placed(31, 40, "0 0 0.3"), SolidExtent(88, 35, 113, 65));
    EXPECT_EQ(Run("erase white"), "");
    // Fitted 77 wide: dx = 77 * -0.9 / 2 = -34.65 -> -34, not -35.
    EXPECT_EQ(Placed(30, 40, "0 0 0.1"), SolidExtent(96, 45, 105, 55));
}

TEST_F(PictureCommand, FitTruncatesTowardZeroAlsoBelowZero)
{
    // Rectangle (-30, 0, 130, 100) on a 100-wide canvas: a 31 x 20 picture
    // has its near edge at 50 - 100 * 1.55 / 2 = -27.5, cut to -27 (not -28),
    // and its far edge at 130 - 3 = 127; moved right by 40 the near edge shows.
    LoadWithCanvas("canvas 100 100 30");
    EXPECT_EQ(Placed(31, 20, "40 0 1"), SolidExtent(13, 0, 100, 100));
    ZiltorH_Unload();
    // Centre 101 / 2 = 50; top 50 - 201 * 0.5 / 2 = -0.25, cut to 0 (not -1),
    // bottom 101 - 0; moved down by 10.
    LoadWithCanvas("canvas 201 101");
    EXPECT_EQ(Placed(40, 20, "0 10 1"), SolidExtent(0, 10, 201, 101));
}

TEST_F(PictureCommand, OffsetsMoveTheScaledPicture)
{
    LoadWithCanvas("canvas 201 100");
    EXPECT_EQ(Placed(30, 40, "10 -5 1"), SolidExtent(72, 0, 149, 95));
    EXPECT_EQ(Run("erase white"), "");
    // Scaled first to (81, 25, 120, 75), then moved.
    EXPECT_EQ(Placed(30, 40, "-30 20 0.5"), SolidExtent(51, 45, 90, 95));
}

TEST_F(PictureCommand, NegativeScaleDrawsThePictureTurnedAboutItsCentre)
{
    LoadWithCanvas("canvas 400 200");
    std::string path = (dir / "halves.png").string();
    ASSERT_TRUE(WritePng(path, Quadrants(20, 10, Red, Blue, Red, Blue)));
    // Fitted (0, 0, 400, 200); scale -1 turns it inside out in place.
    EXPECT_EQ(Run("picture l 0 0 -1 abs " + path), "");
    EXPECT_EQ(Left().Pixel(20, 100), Blue.Colour());
    EXPECT_EQ(Left().Pixel(380, 100), Red.Colour());
    EXPECT_EQ(Left().Count(White), 0);

    // -0.5: sides move by 400 * -1.5 / 2 = -300 and -150: spans (100, 50) to
    // (300, 150), mirrored.
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Run("picture l 0 0 -0.5 abs " + path), "");
    EXPECT_EQ(Left().Count(White, 100, 50, 300, 150), 0);
    EXPECT_EQ(Left().Count(White), 400 * 200 - 200 * 100);
    EXPECT_EQ(Left().Pixel(110, 100), Blue.Colour());
    EXPECT_EQ(Left().Pixel(290, 100), Red.Colour());
}

TEST_F(PictureCommand, ScalesAndOffsetsThatPlaceNothingDrawNothingAndStillSucceed)
{
    LoadWithCanvas("canvas 200 100");
    std::string path = Solid(10, 10);
    // Scale 0 collapses the even-sized fitted rectangle; the others would pass
    // every coordinate a canvas can have, or are not numbers at all.
    for (const char *placement : {"0 0 0", "0 0 nan", "0 0 inf", "0 0 1e300", "0 0 -1e300", "2147483647 0 1",
                                  "0 -2147483647 1"}) {
        ClearRecords();
        EXPECT_EQ(Run(std::string("picture l ") + placement + " abs " + path), "") << placement;
        EXPECT_EQ(Left().Count(White), 200 * 100) << placement;
        EXPECT_EQ(host.calls.back(), "RefreshCanvas(0, -1)") << placement;
    }
}

TEST_F(PictureCommand, HugeScaleResamplesOnlyTheVisiblePart)
{
    LoadWithCanvas("canvas 200 100");
    // Scale 100000 makes a picture ten million pixels wide, of which the
    // canvas shows a sliver: drawn in full, it could never be allocated.
    EXPECT_EQ(Run("picture l 0 0 100000 abs " + Solid(10, 10, Magenta)), "");
    EXPECT_EQ(Left().Count(Magenta.Colour()), 200 * 100);
}

TEST_F(PictureCommand, RightSelectorDrawsOnTheRightCanvasInTheRectangleMovedByTheAmount)
{
    LoadWithCanvas("canvas 200 100 10");
    host.hasRightCanvas = 1;
    std::string path = Solid(20, 40);
    // The view rectangle is (-10, 0, 210, 100); the right canvas uses it moved
    // by the amount, (0, 0, 220, 100).
    EXPECT_EQ(Run("picture r 0 0 1 abs " + path), "");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "HasRightCanvas()", "RefreshCanvas(0, -1)"}));
    EXPECT_EQ(ExtentOf(Right(), Red.Colour()), SolidExtent(85, 0, 135, 100));
    EXPECT_EQ(Left().Count(White), 200 * 100);
    EXPECT_EQ(CanvasView.rect.left, -10) << "the view rectangle itself is never moved";

    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
    EXPECT_EQ(ExtentOf(Left(), Red.Colour()), SolidExtent(75, 0, 125, 100));
}

TEST_F(PictureCommand, RightSelectorWithoutARightCanvasWarnsAndDrawsNothing)
{
    LoadWithCanvas("canvas 200 100");
    std::string path = Solid(20, 40);
    host.hasRightCanvas = 0;
    EXPECT_EQ(Run("picture r 0 0 1 abs " + path), "Warning: No right canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "HasRightCanvas()"}));

    // The host claims a right canvas that the plug-in does not hold.
    ClearRecords();
    host.hasRightCanvas = 1;
    EXPECT_EQ(Run("picture r 0 0 1 abs " + path), "Warning: No right canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "HasRightCanvas()"}));
    for (const auto &canvas : host.canvases)
        EXPECT_EQ(canvas->Count(Red.Colour()), 0);
}

TEST_F(PictureCommand, SelectorAndModeAreComparedCaseSensitively)
{
    LoadWithCanvas("canvas 200 100 0");
    host.hasRightCanvas = 1;
    Solid(20, 40, Green, "pic.png");
    WorkingDirectory inside(dir.path);
    // "R" selects the left canvas; "ABS" is a relative mode, so the bare name
    // is found in the current directory.
    EXPECT_EQ(Run("picture R 0 0 1 ABS pic.png"), "");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"}));
    EXPECT_EQ(ExtentOf(Left(), Green.Colour()), SolidExtent(75, 0, 125, 100));
    EXPECT_EQ(Right().Count(Green.Colour()), 0);

    // In a relative mode an absolute path is still appended to the directory,
    // and so does not load.
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Run("picture l 0 0 1 ABS " + (dir / "pic.png").string()), "");
    EXPECT_EQ(Left().Count(White), 200 * 100);
}

TEST_F(PictureCommand, RelativePathsJoinTheCurrentDirectoryWithASlash)
{
    LoadWithCanvas("canvas 200 100");
    fs::create_directories(dir / "sub");
    ASSERT_TRUE(WritePng(dir / "sub" / "pic.png", TestImage(20, 40, Blue)));
    WorkingDirectory inside(dir.path);
    EXPECT_EQ(Run("picture l 0 0 1 rel sub/pic.png"), "");
    EXPECT_EQ(ExtentOf(Left(), Blue.Colour()), SolidExtent(75, 0, 125, 100));
}

TEST_F(PictureCommand, FilesThatDoNotLoadLeaveTheCanvasAndSucceed)
{
    LoadWithCanvas("canvas 200 100");
    fs::create_directories(dir / "folder.png");
    ASSERT_TRUE(WriteBytes(dir / "zero.png", ZeroWidePng()));
    ASSERT_TRUE(WriteBytes(dir / "text.jpg", "not a picture"));
    ASSERT_TRUE(WriteBytes(dir / "empty.gif", ""));
    std::string truncated = Solid(20, 20);
    fs::resize_file(truncated, 40);
    for (std::string name : {"missing.png", "folder.png", "zero.png", "text.jpg", "empty.gif"}) {
        ClearRecords();
        EXPECT_EQ(Run("picture l 0 0 1 abs " + (dir / name).string()), "") << name;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"})) << name;
    }
    EXPECT_EQ(Run("picture l 0 0 1 abs " + truncated), "");
    EXPECT_EQ(Left().Count(White), 200 * 100);
}

TEST_F(PictureCommand, PathsLongerThanTheBufferAreRefusedNeverCut)
{
    LoadWithCanvas("canvas 200 100");
    WorkingDirectory inside(dir.path);
    // The directory, the slash and the name take exactly 259 characters, the
    // most the buffer holds: this one loads.
    size_t room = 259 - dir.path.string().size() - 1;
    std::string fits = std::string(room - 4, 'a') + ".png";
    Solid(20, 40, Blue, fits);
    EXPECT_EQ(Run("picture l 0 0 1 rel " + fits), "");
    EXPECT_EQ(Left().Count(Blue.Colour()), 50 * 100);

    // One character more, naming a picture that exists. Neither it nor the
    // picture that the path cut to the buffer would name is drawn.
    std::string longer = fits + "x";
    Solid(20, 40, Blue, longer);
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Run("picture l 0 0 1 rel " + longer), "");
    EXPECT_EQ(Left().Count(White), 200 * 100);

    // The same for a path used as it is.
    std::string absolute = (dir / fits).string();
    ASSERT_EQ(absolute.size(), 259u);
    EXPECT_EQ(Run("picture l 0 0 1 abs " + absolute + "x"), "");
    EXPECT_EQ(Left().Count(White), 200 * 100);
    EXPECT_EQ(Run("picture l 0 0 1 abs " + absolute), "");
    EXPECT_EQ(Left().Count(Blue.Colour()), 50 * 100);
}

TEST_F(PictureCommand, EmptyOrInvertedRectangleDrawsNothing)
{
    // Amounts -100 and -120 leave the 200-wide rectangle empty or inverted.
    for (const char *canvas : {"canvas 200 100 -100", "canvas 200 100 -120"}) {
        LoadWithCanvas(canvas);
        EXPECT_EQ(Run("picture l 0 0 1 abs " + Solid(20, 40)), "") << canvas;
        EXPECT_EQ(Left().Count(White), 200 * 100) << canvas;
        ZiltorH_Unload();
    }
}

TEST_F(PictureCommand, TokenCountAndGate)
{
    LoadWithCanvas("canvas 200 100");
    EXPECT_EQ(Run("picture l 0 0 1 abs"), "Error! Wrong number of tokens");
    EXPECT_EQ(Run("picture l 0 0 1 abs a b"), "Error! Wrong number of tokens");
    host.hasCanvas = 0;
    ClearRecords();
    EXPECT_EQ(Run("picture l 0 0 1 abs " + Solid(20, 40)), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));
    EXPECT_EQ(Left().Count(White), 200 * 100);
}

TEST_F(PictureCommand, HostCanvasWithoutOneOfOursFailsAndDrawsNothing)
{
    Load();
    std::string path = Solid(20, 40);
    FakeCanvas &welcome = *host.canvases[0];
    long white = welcome.Count(White);
    CanvasRecord *held = LeftCanvas;
    LeftCanvas = nullptr;
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));
    EXPECT_EQ(welcome.Count(White), white);
    LeftCanvas = held;
}

}
