// The example scripts rendered by the real host: each shows what its comment says.
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using render::Box;
using render::Rgb;

std::string Example(const std::string &name)
{
    std::ifstream file(std::string(TESSELIN_SOURCE_DIR) + "/examples/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

render::RenderResult RenderExample(const std::string &name)
{
    render::RenderOptions options;
    options.name = name;
    return render::RenderScript(Example(name), options);
}

TEST(Examples, WelcomeShowsTheWelcomeText)
{
    auto run = RenderExample("welcome.tsl");
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    EXPECT_TRUE(run.messages.empty()) << run.AllMessages();
    ASSERT_EQ(run.window.width, 400);
    ASSERT_EQ(run.window.height, 300);
    EXPECT_GT(render::CountNear(run.window, Rgb(0, 0, 0), 0), 1500);
}

TEST(Examples, DemoIsASnowmanUnderABlueSky)
{
    auto run = RenderExample("demo.tsl");
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    EXPECT_TRUE(run.messages.empty()) << run.AllMessages();
    ASSERT_EQ(run.window.width, 800);
    ASSERT_EQ(run.window.height, 600);
    ASSERT_EQ(run.frames.size(), 1u);
    const uint32_t sky = Rgb(140, 184, 235);
    EXPECT_TRUE(render::Near(run.window.At(5, 5), sky, 2)) << render::Describe(run.window.At(5, 5));
    EXPECT_TRUE(render::Near(run.window.At(794, 5), sky, 2));
    // Snow: a tall white figure in the middle third, wider below than above.
    Box middle{266, 0, 534, 600};
    auto snow = render::FindNear(run.window, Rgb(245, 245, 250), 40, middle);
    EXPECT_GT(snow.count, 40000);
    EXPECT_NEAR(snow.x, 400, 40);
    auto low = render::CountNear(run.window, Rgb(245, 245, 250), 40, Box{266, 300, 534, 450});
    auto high = render::CountNear(run.window, Rgb(245, 245, 250), 40, Box{266, 100, 534, 250});
    EXPECT_GT(low, high);
    // A black hat on top, above the snow, and an orange nose in between.
    auto hat = render::FindNear(run.window, Rgb(0, 0, 0), 40, Box{300, 0, 500, 300});
    EXPECT_GT(hat.count, 3000);
    EXPECT_LT(hat.bounds.top, 150);
    auto nose = render::FindNear(run.window, Rgb(240, 115, 13), 60, Box{300, 100, 500, 300});
    EXPECT_GT(nose.count, 30);
    EXPECT_GT(nose.y, hat.bounds.top);
}

TEST(Examples, StereoRingStandsOutOfTheScreen)
{
    auto run = RenderExample("stereo_ring.tsl");
    ASSERT_EQ(run.frames.size(), 1u);
    ASSERT_EQ(run.rightFrames.size(), 1u);
    const auto &left = run.frames[0], &right = run.rightFrames[0];
    EXPECT_NE(left.pixels, right.pixels);
    const uint32_t white = Rgb(255, 255, 255);
    // The nearest ball (at the bottom) in front of the screen: further right
    // in the left eye; the farthest (at the top) behind it: further left.
    Box bottom{0, 330, 640, 480}, top{0, 0, 640, 150};
    auto nearLeft = render::FindUnlike(left, white, 10, bottom), nearRight = render::FindUnlike(right, white, 10, bottom);
    auto farLeft = render::FindUnlike(left, white, 10, top), farRight = render::FindUnlike(right, white, 10, top);
    ASSERT_GT(nearLeft.count, 500);
    ASSERT_GT(farLeft.count, 200);
    EXPECT_GT(nearLeft.x - nearRight.x, 2);
    EXPECT_LT(farLeft.x - farRight.x, -1);
    EXPECT_NEAR(nearLeft.y, nearRight.y, 0.5);
}

} // namespace

namespace {

TEST(Examples, RoomIsLitInsideWithPennantsAndAChartInItsOwnColour)
{
    auto run = RenderExample("room.tsl");
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    EXPECT_TRUE(run.stopped);
    EXPECT_TRUE(run.Said("Stopped: the room is finished")) << run.AllMessages();
    EXPECT_TRUE(run.Said("Copied the canvas window")) << run.AllMessages();
    ASSERT_EQ(run.window.width, 800);
    ASSERT_EQ(run.window.height, 600);
    ASSERT_EQ(run.frames.size(), 1u);
    // Walls drawn facing inwards catch the light: the back wall is bright.
    EXPECT_TRUE(render::Near(run.window.At(400, 250), Rgb(255, 246, 215), 12))
        << render::Describe(run.window.At(400, 250));
    EXPECT_GT(render::CountNear(run.window, Rgb(231, 217, 190), 12, Box{0, 500, 800, 600}), 40000);
    // Pennants of four colours in a row near the top of the back wall.
    Box pennants{190, 190, 480, 245};
    for (uint32_t colour : {Rgb(255, 62, 62), Rgb(255, 246, 31), Rgb(62, 215, 92), Rgb(62, 123, 255)})
        EXPECT_GT(render::CountNear(run.window, colour, 20, pennants), 150) << render::Describe(colour);
    // The chart's line glows in exactly its colour (emit 0.8 0.1 0.1 with no
    // diffuse colour), not paled by the light.
    EXPECT_GT(render::CountNear(run.window, Rgb(204, 26, 26), 2, Box{440, 200, 600, 330}), 300);
}

} // namespace
