// The erase command: the view rectangle filled white or black on the left
// canvas and, of a pair, on the right one with the same rectangle.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

namespace {

using Erase = PluginTest;

TEST_F(Erase, FillsTheWelcomeRectangleOnly)
{
    Load();
    FakeCanvas &welcome = *host.canvases[0];
    EXPECT_EQ(Run("erase black"), "");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"}))
        << "erase needs a canvas but not modelling";
    // The welcome rectangle is 2 pixels in at the sides, 1 at top and bottom.
    EXPECT_EQ(ExtentOf(welcome, Black), SolidExtent(2, 1, 398, 299));
    EXPECT_EQ(welcome.Count(White), 400 * 300 - 396 * 298);

    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(welcome.Count(White), 400 * 300);
}

TEST_F(Erase, AnyWordButExactlyWhiteFillsBlack)
{
    LoadWithCanvas("canvas 40 20");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    for (const char *word : {"White", "WHITE", "black", "0", "whites"}) {
        EXPECT_EQ(Run("erase white"), "");
        EXPECT_EQ(Run(std::string("erase ") + word), "") << word;
        EXPECT_EQ(canvas.Count(Black), 40 * 20) << word;
    }
}

TEST_F(Erase, FillsBothCanvasesOfAPairWithTheSameRectangle)
{
    // Amount -5: the rectangle (5, 0, 95, 50) serves both canvases unmoved.
    LoadWithCanvas("canvas 100 50 -5");
    EXPECT_EQ(Run("erase black"), "");
    EXPECT_EQ(ExtentOf(*host.CanvasOf(LeftCanvas), Black), SolidExtent(5, 0, 95, 50));
    EXPECT_EQ(ExtentOf(*host.CanvasOf(RightCanvas), Black), SolidExtent(5, 0, 95, 50));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"}));
}

TEST_F(Erase, TokenCountGateAndAMissingCanvasOfOurOwn)
{
    LoadWithCanvas("canvas 40 20");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    EXPECT_EQ(Run("erase"), "Error! Wrong number of tokens");
    EXPECT_EQ(Run("erase black now"), "Error! Wrong number of tokens");
    host.hasCanvas = 0;
    ClearRecords();
    EXPECT_EQ(Run("erase black"), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));

    // The host reports a canvas that the plug-in does not hold.
    host.hasCanvas = 1;
    ClearRecords();
    CanvasRecord *held = LeftCanvas;
    LeftCanvas = nullptr;
    EXPECT_EQ(Run("erase black"), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));
    EXPECT_EQ(canvas.Count(White), 40 * 20);
    LeftCanvas = held;
}

}
