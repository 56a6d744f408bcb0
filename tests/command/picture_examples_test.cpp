// The picture examples run line by line from the repository's root, as the
// host runs a script: every command succeeds and the photos land on the
// canvases.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <fstream>
#include <functional>

namespace {

using PictureExamples = PluginTest;

// Runs every line of the script that is not blank or a comment; returns the
// results that were not success.
std::vector<std::string> RunScript(const std::string &name, const std::function<std::string(const std::string &)> &run)
{
    std::ifstream script(std::string(TESSELIN_SOURCE_DIR) + "/examples/" + name);
    EXPECT_TRUE(script.good()) << name;
    std::vector<std::string> failures;
    for (std::string line; std::getline(script, line);) {
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::string result = run(line);
        if (!result.empty())
            failures.push_back(line + ": " + result);
    }
    return failures;
}

TEST_F(PictureExamples, PhotoOnTheWelcomeCanvas)
{
    Load();
    WorkingDirectory root(TESSELIN_SOURCE_DIR);
    EXPECT_TRUE(RunScript("picture_welcome.tsl", [&](const std::string &l) { return Run(l); }).empty());
    FakeCanvas &welcome = *host.canvases[0];
    // A 2:1 photo across the welcome rectangle's 396 pixels: rows 51 to 248
    // cover the welcome text, which stays above and below.
    EXPECT_EQ(welcome.Count(Black, 2, 51, 398, 249), 0);
    EXPECT_EQ(welcome.Count(White, 2, 51, 398, 249), 0);
    EXPECT_GT(welcome.Count(Black, 2, 1, 398, 51), 100);
    EXPECT_GT(welcome.Count(Black, 2, 249, 398, 299), 100);
}

TEST_F(PictureExamples, StereoPhotosComposedAsAnAnaglyph)
{
    Load();
    WorkingDirectory root(TESSELIN_SOURCE_DIR);
    host.hasRightCanvas = 1;
    EXPECT_TRUE(RunScript("stereo_photos.tsl", [&](const std::string &l) { return Run(l); }).empty());
    EXPECT_EQ(host.CallsStartingWith("MakeAnaglyph"), (std::vector<std::string>{"MakeAnaglyph(0x0000FF, 0xFFFF00)"}));
    FakeCanvas &left = *host.CanvasOf(LeftCanvas), &right = *host.CanvasOf(RightCanvas);
    // Each photo fills its canvas, the right one moved 24 pixels right.
    EXPECT_EQ(left.Count(White), 0);
    EXPECT_EQ(right.Count(White, 0, 0, 24, 480), 24 * 480);
    EXPECT_EQ(right.Count(White, 24, 0, 640, 480), 0);
    EXPECT_NE(left.pixels, right.pixels);
}

}
