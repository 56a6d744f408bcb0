// The picture examples, run line by line from the repository's root as the
// host runs a script: every command succeeds and the photos land in place.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <fstream>

namespace {

class PictureExamples : public PluginTest {
protected:
    void RunExample(const std::string &name)
    {
        WorkingDirectory root(TESSELIN_SOURCE_DIR);
        std::ifstream script("examples/" + name);
        ASSERT_TRUE(script.good()) << name;
        for (std::string line; std::getline(script, line);) {
            if (!line.empty() && line[0] != '#') {
                EXPECT_EQ(Run(line), "") << line;
            }
        }
    }
};

TEST_F(PictureExamples, PhotoOnTheWelcomeCanvas)
{
    Load();
    RunExample("picture_welcome.tsl");
    // A 2:1 photo across the welcome rectangle's 396 pixels covers rows 51 to
    // 248, with white above and below.
    const FakeCanvas &welcome = *host.canvases[0];
    EXPECT_EQ(welcome.Count(White, 2, 51, 398, 249), 0);
    EXPECT_EQ(welcome.Count(White), 400 * 300 - 396 * 198);
}

TEST_F(PictureExamples, StereoPhotosComposedAsAnAnaglyph)
{
    Load();
    RunExample("stereo_photos.tsl");
    EXPECT_EQ(host.CallsStartingWith("MakeAnaglyph"), std::vector<std::string>{"MakeAnaglyph(0x0000FF, 0xFFFF00)"});
    // Each photo fills its canvas, the right one 24 pixels further right.
    const FakeCanvas &left = *host.CanvasOf(LeftCanvas), &right = *host.CanvasOf(RightCanvas);
    EXPECT_EQ(left.Count(White), 0);
    EXPECT_EQ(right.Count(White), 24 * 480);
    EXPECT_EQ(right.Count(White, 0, 0, 24, 480), 24 * 480);
    EXPECT_NE(left.pixels, right.pixels);
}

}
