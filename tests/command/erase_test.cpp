// The erase command: the view rectangle filled white or black on the left
// canvas and, of a pair, on the right one with the same rectangle.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

namespace {

using Erase = PluginTest;

TEST_F(Erase, FillsTheWelcomeRectangleWhiteOrBlack)
{
    Load();
    FakeCanvas &welcome = *host.canvases[0];
    for (const char *word : {"White", "black", "whites"}) {
        ClearRecords();
        EXPECT_EQ(Run(std::string("erase ") + word), "") << word;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "RefreshCanvas(0, -1)"})) << word;
        EXPECT_EQ(welcome.Count(Black, 2, 1, 398, 299), 396 * 298) << word;
        EXPECT_EQ(welcome.Count(Black), 396 * 298) << word;
    }
    EXPECT_EQ(Run("erase white"), "");
    EXPECT_EQ(welcome.Count(White), 400 * 300);
}

TEST_F(Erase, FillsBothCanvasesOfAPairWithTheSameRectangle)
{
    // Amount -5: the rectangle (5, 0, 95, 50) serves both canvases unmoved.
    LoadWithCanvas("canvas 100 50 -5");
    EXPECT_EQ(Run("erase black"), "");
    for (CanvasRecord *record : {LeftCanvas, RightCanvas}) {
        EXPECT_EQ(host.CanvasOf(record)->Count(Black, 5, 0, 95, 50), 90 * 50);
        EXPECT_EQ(host.CanvasOf(record)->Count(Black), 90 * 50);
    }
}

TEST_F(Erase, TokenCountGateAndACanvasTheHostHasButWeDoNot)
{
    LoadWithCanvas("canvas 40 20");
    FakeCanvas &canvas = *host.CanvasOf(LeftCanvas);
    EXPECT_EQ(Run("erase"), "Error! Wrong number of tokens");
    EXPECT_EQ(Run("erase black now"), "Error! Wrong number of tokens");
    host.hasCanvas = 0;
    EXPECT_EQ(Run("erase black"), "Error! No canvas");
    host.hasCanvas = 1;
    ClearRecords();
    CanvasRecord *held = LeftCanvas;
    LeftCanvas = nullptr;
    EXPECT_EQ(Run("erase black"), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));
    LeftCanvas = held;
    EXPECT_EQ(canvas.Count(White), 40 * 20);
}

}
