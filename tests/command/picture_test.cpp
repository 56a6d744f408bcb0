// The picture command: where the fitted, scaled and moved picture lands, which
// canvas it goes to, how its path is made, and what draws nothing. A solid
// picture fills exactly the pixels of its rectangle, so a placement is read
// back as the count of its colour inside the rectangle and on the whole canvas.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <fstream>

namespace {

namespace fs = std::filesystem;

class PictureCommand : public PluginTest {
protected:
    TempDir dir;

    std::string Solid(int width, int height, Rgba colour = Red, std::string name = "")
    {
        name = dir / (name.empty() ? std::to_string(width) + "x" + std::to_string(height) + ".png" : name);
        EXPECT_TRUE(WritePicture(name, TestImage(width, height, colour)));
        return name;
    }
    FakeCanvas &Left() { return *host.CanvasOf(LeftCanvas); }
    FakeCanvas &Right() { return *host.CanvasOf(RightCanvas); }
};

// The canvas shows colour exactly in [left, right) x [top, bottom).
void ExpectFilled(const FakeCanvas &canvas, uint32_t colour, RECT r, const std::string &what)
{
    long area = long(r.right - r.left) * (r.bottom - r.top);
    EXPECT_EQ(canvas.Count(colour, r.left, r.top, r.right, r.bottom), area) << what;
    EXPECT_EQ(canvas.Count(colour), area) << what;
}

TEST_F(PictureCommand, FitScaleAndOffsetTruncateTowardZero)
{
    struct Case {
        const char *canvas;
        int width, height;
        const char *placement; // dx dy scale
        RECT drawn;            // the visible part; empty when nothing is drawn
    } cases[] = {
        // Wide picture on a tall rectangle: full width, centred vertically.
        {"canvas 100 200", 40, 20, "0 0 1", {0, 75, 100, 125}},
        // Tall on wide: centre 100, near edge 100 - 37.5 = 62.5 cut to 62, the
        // far edge moved in as far: 201 - 62.
        {"canvas 201 100", 30, 40, "0 0 1", {62, 0, 139, 100}},
        // Equal ratios take the full height. The amount -1 makes the rectangle
        // (1, 0, 200, 64), with an odd edge sum: 100 - 99.5 is cut to 0, so the
        // picture is one pixel wider on each side.
        {"canvas 201 64 -1", 199, 64, "0 0 1", {0, 0, 201, 64}},
        // The welcome canvas's rectangle (2, 1, 398, 299).
        {"", 40, 30, "0 0 1", {2, 1, 398, 299}},
        // Scale 2 of (100, 0, 300, 200) is (0, -100, 400, 300); the offsets
        // bring its top-left, then its bottom-right corner into view.
        {"canvas 400 200", 10, 10, "50 150 2", {50, 50, 400, 200}},
        {"canvas 400 200", 10, 10, "-50 -150 2", {0, 0, 350, 150}},
        // (62, 0, 139, 100) scaled: dx = 77 * -0.5 / 2 = -19.25 -> -19;
        // 77 * -0.9 / 2 = -34.65 -> -34, where rounding would give -35.
        {"canvas 201 100", 30, 40, "0 0 0.5", {81, 25, 120, 75}},
        {"canvas 201 100", 30, 40, "0 0 0.1", {96, 45, 105, 55}},
        // Offsets move the picture after scaling.
        {"canvas 201 100", 30, 40, "10 -5 1", {72, 0, 149, 95}},
        {"canvas 201 100", 30, 40, "-30 20 0.5", {51, 45, 90, 95}},
        // Below zero too: rectangle (-30, 0, 130, 100), near edge 50 - 77.5 =
        // -27.5 cut to -27; then top 50 - 50.25 = -0.25 cut to 0.
        {"canvas 100 100 30", 31, 20, "40 0 1", {13, 0, 100, 100}},
        {"canvas 201 101", 40, 20, "0 10 1", {0, 10, 201, 101}},
        // Nothing to draw: a collapsed picture, scales and offsets beyond any
        // canvas or no number at all, an empty or inverted view rectangle.
        {"canvas 200 100", 10, 10, "0 0 0", {}},
        {"canvas 200 100", 10, 10, "0 0 nan", {}},
        {"canvas 200 100", 10, 10, "0 0 inf", {}},
        {"canvas 200 100", 10, 10, "0 0 -1e300", {}},
        {"canvas 200 100", 10, 10, "2147483647 0 1", {}},
        {"canvas 200 100", 10, 10, "0 -2147483647 1", {}},
        {"canvas 200 100 -100", 20, 40, "0 0 1", {}},
        {"canvas 200 100 -120", 20, 40, "0 0 1", {}},
    };
    for (const Case &c : cases) {
        std::string what = std::string(c.canvas) + " / " + c.placement;
        if (*c.canvas)
            LoadWithCanvas(c.canvas);
        else
            Load();
        EXPECT_EQ(Run(std::string("picture l ") + c.placement + " abs " + Solid(c.width, c.height)), "") << what;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"})) << what;
        ExpectFilled(Left(), Red.Colour(), c.drawn, what);
        ZiltorH_Unload();
    }
}

TEST_F(PictureCommand, NegativeScaleDrawsThePictureTurnedAboutItsCentre)
{
    LoadWithCanvas("canvas 400 200");
    std::string quadrants = dir / "quadrants.png";
    ASSERT_TRUE(WritePicture(quadrants, Quadrants(20, 10, Red, Blue, Green, Yellow)));
    // Fitted (0, 0, 400, 200); -0.5 moves the sides by -300 and -150, to the
    // inverted (300, 150, 100, 50).
    EXPECT_EQ(Run("picture l 0 0 -0.5 abs " + quadrants), "");
    EXPECT_EQ(Left().Count(White, 100, 50, 300, 150), 0);
    EXPECT_EQ(Left().Count(White), 400 * 200 - 200 * 100);
    EXPECT_EQ(Left().Pixel(110, 60), Yellow.Colour());
    EXPECT_EQ(Left().Pixel(290, 140), Red.Colour());
}

TEST_F(PictureCommand, HugeScaleResamplesOnlyTheVisiblePart)
{
    // Ten million pixels wide, of which the canvas shows a sliver: drawn in
    // full, it could never be allocated.
    LoadWithCanvas("canvas 200 100");
    EXPECT_EQ(Run("picture l 0 0 100000 abs " + Solid(10, 10)), "");
    EXPECT_EQ(Left().Count(Red.Colour()), 200 * 100);
}

TEST_F(PictureCommand, RightSelectorUsesTheRightCanvasAndTheRectangleMovedByTheAmount)
{
    LoadWithCanvas("canvas 200 100 10");
    std::string path = Solid(20, 40);
    // The rectangle is (-10, 0, 210, 100); moved by the amount, (0, 0, 220, 100).
    EXPECT_EQ(Run("picture r 0 0 1 abs " + path), "");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "HasRightCanvas()", "RefreshCanvas(0, -1)"}));
    ExpectFilled(Right(), Red.Colour(), {85, 0, 135, 100}, "right");
    EXPECT_EQ(Left().Count(White), 200 * 100);
    EXPECT_EQ(CanvasView.rect.left, -10);
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
    ExpectFilled(Left(), Red.Colour(), {75, 0, 125, 100}, "left");

    // Without a right canvas, by the host's answer or the plug-in's records,
    // a warning and nothing else.
    ZiltorH_Unload();
    LoadWithCanvas("canvas 200 100");
    for (int hostAnswer : {0, 1}) {
        ClearRecords();
        host.hasRightCanvas = hostAnswer;
        EXPECT_EQ(Run("picture r 0 0 1 abs " + path), "Warning: No right canvas");
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "HasRightCanvas()"}));
        EXPECT_EQ(Left().Count(White), 200 * 100);
    }
}

TEST_F(PictureCommand, SelectorAndModeAreCaseSensitiveAndRelativePathsJoinWithASlash)
{
    LoadWithCanvas("canvas 200 100 0");
    fs::create_directories(dir.path / "sub");
    Solid(20, 40, Green, "sub/pic.png");
    WorkingDirectory inside(dir.path);
    // "R" selects the left canvas; "ABS" is a relative mode.
    EXPECT_EQ(Run("picture R 0 0 1 ABS sub/pic.png"), "");
    ExpectFilled(Left(), Green.Colour(), {75, 0, 125, 100}, "R ABS");
    EXPECT_EQ(Right().Count(Green.Colour()), 0);
    // In a relative mode even an absolute path is appended to the directory.
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(Run("picture l 0 0 1 ABS " + dir / "sub/pic.png"), "");
    EXPECT_EQ(Left().Count(White), 200 * 100);
}

TEST_F(PictureCommand, FilesThatDoNotLoadLeaveTheCanvasAndSucceed)
{
    LoadWithCanvas("canvas 200 100");
    fs::create_directories(dir.path / "folder.png");
    std::ofstream(dir / "text.jpg") << "not a picture";
    std::ofstream(dir / "empty.gif");
    fs::copy_file(Solid(20, 20), dir / "cut.png");
    fs::resize_file(dir / "cut.png", 60);
    // A PNG header, checksum included, that says 0 pixels wide.
    std::ofstream(dir / "zero.png", std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\0\0\0\0\x10\x08\x02\0\0\0\xb7\x3f\xe9\xde", 33);
    for (const char *name : {"missing.png", "folder.png", "text.jpg", "empty.gif", "cut.png", "zero.png"}) {
        ClearRecords();
        EXPECT_EQ(Run("picture l 0 0 1 abs " + dir / name), "") << name;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"})) << name;
        EXPECT_EQ(Left().Count(White), 200 * 100) << name;
    }
}

TEST_F(PictureCommand, PathsLongerThanTheBufferAreRefusedNeverCut)
{
    LoadWithCanvas("canvas 200 100");
    WorkingDirectory inside(dir.path);
    // Directory, slash and name take 259 characters, the most that fits; the
    // name one longer belongs to a picture too. Neither it nor the picture its
    // cut path would name may be drawn.
    std::string fits = std::string(259 - dir.path.string().size() - 1 - 4, 'a') + ".png";
    fs::copy_file(Solid(20, 40, Red, fits), dir / (fits + "x"));
    ASSERT_EQ((dir / fits).size(), 259u);
    for (std::string mode : {std::string("rel "), "abs " + dir.path.string() + "/"}) {
        EXPECT_EQ(Run("picture l 0 0 1 " + mode + fits + "x"), "") << mode;
        EXPECT_EQ(Left().Count(White), 200 * 100) << mode;
        EXPECT_EQ(Run("picture l 0 0 1 " + mode + fits), "") << mode;
        EXPECT_EQ(Left().Count(Red.Colour()), 50 * 100) << mode;
        EXPECT_EQ(Run("erase white"), "");
    }
}

TEST_F(PictureCommand, TokenCountGateAndACanvasTheHostHasButWeDoNot)
{
    LoadWithCanvas("canvas 200 100");
    std::string path = Solid(20, 40);
    EXPECT_EQ(Run("picture l 0 0 1 abs"), "Error! Wrong number of tokens");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path + " more"), "Error! Wrong number of tokens");
    host.hasCanvas = 0;
    ClearRecords();
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));

    host.hasCanvas = 1;
    ClearRecords();
    CanvasRecord *held = LeftCanvas;
    LeftCanvas = nullptr;
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));
    LeftCanvas = held;
    EXPECT_EQ(Left().Count(White), 200 * 100);
}

}
