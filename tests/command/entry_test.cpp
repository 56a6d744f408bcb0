// Load and unload: the host calls in their order, and the welcome canvas.
#include "tests/doubles/plugin_fixture.h"

namespace {

using EntryPoints = PluginTest;

TEST_F(EntryPoints, LoadNamesThePluginAndDrawsTheWelcomeCanvas)
{
    const char *name = nullptr;
    EXPECT_EQ(ZiltorH_Load(&name, host.table), 0);
    EXPECT_STREQ(name, "Tesselin");
    EXPECT_EQ(HostTable, host.table);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"CreateCanvas(400, 300)", "SelectCanvas(canvas1, 0)",
                                                    "ShowCanvasWindow()", "GetViewRect(CanvasView, 0)",
                                                    "RefreshCanvas(0, -1)"}));
    ZiltorH_Unload();
    const char *again = nullptr;
    ZiltorH_Load(&again, host.table);
    EXPECT_EQ(again, name) << "the same static text on every load";
}

TEST_F(EntryPoints, WelcomeTextIsWrappedInsideTheShrunkRectangle)
{
    const char *name;
    ZiltorH_Load(&name, host.table);
    const FakeCanvas &canvas = *host.canvases.at(0);
    EXPECT_EQ(CanvasView.rect.left, 2);
    EXPECT_EQ(CanvasView.rect.top, 1);
    EXPECT_EQ(CanvasView.rect.right, 398);
    EXPECT_EQ(CanvasView.rect.bottom, 299);

    long black = canvas.Count(0x000000);
    EXPECT_GT(black, 2000) << "the welcome text is drawn";
    // Nothing outside the shrunk rectangle: the border keeps the white fill.
    EXPECT_EQ(canvas.Count(0x000000, 0, 0, 2, 300), 0);
    EXPECT_EQ(canvas.Count(0x000000, 398, 0, 400, 300), 0);
    EXPECT_EQ(canvas.Count(0x000000, 0, 0, 400, 1), 0);
    // Only pure black and white: no grey edges.
    EXPECT_EQ(black + canvas.Count(0xFFFFFF), 400L * 300L);
    // Wrapped: text reaches near the right edge on several lines, and the
    // long paragraphs take many lines (the last line is far below the first).
    int lowest = 0, rightmost = 0;
    for (int y = 0; y < 300; y++)
        for (int x = 0; x < 400; x++)
            if (canvas.Pixel(x, y) == 0) {
                lowest = std::max(lowest, y);
                rightmost = std::max(rightmost, x);
            }
    EXPECT_GT(rightmost, 330);
    EXPECT_GT(lowest, 200);
}

TEST_F(EntryPoints, LoadWithoutACanvasDrawsNothing)
{
    host.acceptCanvas = [](int, int) { return false; };
    const char *name = nullptr;
    EXPECT_EQ(ZiltorH_Load(&name, host.table), 0);
    EXPECT_STREQ(name, "Tesselin");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"CreateCanvas(400, 300)"}));
    EXPECT_EQ(LeftCanvas, nullptr);
    host.hasCanvas = 0;
    EXPECT_EQ(Run("anything"), "Error! No canvas");
}

TEST_F(EntryPoints, UnloadRightAfterLoadDestroysOnlyTheWelcomeCanvas)
{
    Load();
    EXPECT_EQ(ZiltorH_Unload(), 0);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"DestroyCanvas(canvas1)"}));
    EXPECT_TRUE(recording_gl::Calls().empty());
    HostTable = nullptr; // nothing left for the fixture to unload
}

TEST_F(EntryPoints, UnloadDestroysLeftThenRightThenDeletesTheQuadric)
{
    Load();
    RightCanvas = CreateCanvas(10, 10);
    Quadric = gluNewQuadric();
    ClearRecords();
    ZiltorH_Unload();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"DestroyCanvas(canvas1)", "DestroyCanvas(canvas2)"}));
    EXPECT_EQ(recording_gl::Calls(), (std::vector<GlCall>{Call("gluDeleteQuadric", {1})}));
    HostTable = nullptr;
}

}
