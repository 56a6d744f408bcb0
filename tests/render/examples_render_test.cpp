// The example scripts rendered by the real host: each shows what its comment
// says. A table gives every example its size, frames, messages and colours,
// each colour over a share of a part of the picture named in fractions of
// its size; the tests after it check where things stand to one another.
#include "tests/render/render_harness.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>


namespace {

using render::Box;
using render::Image;
using render::Rgb;

// A part of a picture in fractions of its width and height.
struct Area {
    double left, top, right, bottom;
};
constexpr Area Everywhere{0, 0, 1, 1};
constexpr Area MiddleThird{1.0 / 3, 0, 2.0 / 3, 1};
constexpr Area BottomSixth{0, 5.0 / 6, 1, 1};

Box In(const Image &image, const Area &area)
{
    return {int(area.left * image.width), int(area.top * image.height), int(area.right * image.width),
            int(area.bottom * image.height)};
}

long Pixels(const Box &box)
{
    return long(box.right - box.left) * (box.bottom - box.top);
}

// A colour that must cover at least share of an area's pixels.
struct Colour {
    const char *what;
    uint32_t colour;
    int tolerance;
    Area where;
    double share;
};

struct Example {
    const char *file;
    int width, height;
    std::size_t frames, rightFrames;
    std::vector<const char *> said; // empty: the run says nothing
    bool stops;
    std::vector<Colour> colours;
};

const uint32_t Sky = Rgb(140, 184, 235), Snow = Rgb(245, 245, 250), Black = Rgb(0, 0, 0);

const Example Examples[] = {
    {"welcome.tsl", 400, 300, 0, 0, {}, false, {{"black text", Black, 0, Everywhere, 0.0125}}},
    {"demo.tsl", 800, 600, 1, 0, {}, false,
     {{"sky in the top left corner", Sky, 2, {0, 0, 0.02, 0.02}, 1},
      {"sky in the top right corner", Sky, 2, {0.98, 0, 1, 0.02}, 1},
      {"snow in the middle", Snow, 40, MiddleThird, 0.25},
      {"a black hat", Black, 40, {0.375, 0, 0.625, 0.5}, 0.05},
      {"an orange nose", Rgb(240, 115, 13), 60, {0.375, 1.0 / 6, 0.625, 0.5}, 0.0006}}},
    {"stereo_ring.tsl", 640, 480, 1, 1, {}, false,
     {{"a white background", Rgb(255, 255, 255), 10, {0, 0, 0.1, 0.1}, 1},
      {"a golden torus in the middle", Rgb(230, 170, 50), 60, {0.4, 0.4, 0.6, 0.6}, 0.3}}},
    {"room.tsl", 800, 600, 1, 0, {"Stopped: the room is finished", "Copied the canvas window"}, true,
     // Walls drawn facing inwards catch the light: the back wall is bright.
     {{"a bright back wall", Rgb(255, 246, 215), 12, {0.49, 0.41, 0.51, 0.43}, 0.9},
      {"a lit floor", Rgb(231, 217, 190), 12, BottomSixth, 0.5},
      // Pennants of four colours in a row near the top of the back wall.
      {"a red pennant", Rgb(255, 62, 62), 20, {0.24, 0.32, 0.6, 0.41}, 0.0095},
      {"a yellow pennant", Rgb(255, 246, 31), 20, {0.24, 0.32, 0.6, 0.41}, 0.0095},
      {"a green pennant", Rgb(62, 215, 92), 20, {0.24, 0.32, 0.6, 0.41}, 0.0095},
      {"a blue pennant", Rgb(62, 123, 255), 20, {0.24, 0.32, 0.6, 0.41}, 0.0095},
      // The chart's line glows in exactly its colour (emit 0.8 0.1 0.1 with
      // no diffuse colour), not paled by the light.
      {"the chart's line in its own colour", Rgb(204, 26, 26), 2, {0.55, 1.0 / 3, 0.75, 0.55}, 0.014}}},
};

std::string ExampleText(const std::string &name)
{
    std::string text = ReadFile(std::string(TESSELIN_SOURCE_DIR) + "/examples/" + name);
    EXPECT_FALSE(text.empty()) << name;
    return text;
}

render::RenderResult RenderExample(const std::string &name)
{
    render::RenderOptions options;
    options.name = name;
    return render::RenderScript(ExampleText(name), options);
}

TEST(Examples, EachRunsCleanlyAndShowsItsColoursWhereItDrawsThem)
{
    for (const Example &example : Examples) {
        SCOPED_TRACE(example.file);
        auto run = RenderExample(example.file);
        EXPECT_EQ(run.status, 0) << run.AllMessages();
        EXPECT_EQ(run.stopped, example.stops);
        if (example.said.empty()) {
            EXPECT_TRUE(run.messages.empty()) << run.AllMessages();
        }
        for (const char *message : example.said)
            EXPECT_TRUE(run.Said(message)) << message << " in " << run.AllMessages();
        ASSERT_EQ(run.window.width, example.width);
        ASSERT_EQ(run.window.height, example.height);
        EXPECT_EQ(run.frames.size(), example.frames);
        EXPECT_EQ(run.rightFrames.size(), example.rightFrames);
        for (const Colour &colour : example.colours) {
            Box box = In(run.window, colour.where);
            long count = render::CountNear(run.window, colour.colour, colour.tolerance, box);
            EXPECT_GE(count, colour.share * Pixels(box))
                << colour.what << ": " << count << " of " << Pixels(box) << " pixels near "
                << render::Describe(colour.colour);
        }
    }
}

TEST(Examples, DemoSnowmanStandsCentredWiderBelowWithTheHatOnTopAndTheNoseBetween)
{
    auto run = RenderExample("demo.tsl");
    ASSERT_EQ(run.window.width, 800);
    const Image &picture = run.window;
    auto snow = render::FindNear(picture, Snow, 40, In(picture, MiddleThird));
    EXPECT_NEAR(snow.x, picture.width / 2.0, picture.width * 0.05) << "centred";
    long low = render::CountNear(picture, Snow, 40, In(picture, {1.0 / 3, 0.5, 2.0 / 3, 0.75}));
    long high = render::CountNear(picture, Snow, 40, In(picture, {1.0 / 3, 1.0 / 6, 2.0 / 3, 5.0 / 12}));
    EXPECT_GT(low, high) << "wider below than above";
    auto hat = render::FindNear(picture, Black, 40, In(picture, {0.375, 0, 0.625, 0.5}));
    auto nose = render::FindNear(picture, Rgb(240, 115, 13), 60, In(picture, {0.375, 1.0 / 6, 0.625, 0.5}));
    ASSERT_GT(hat.count, 0);
    ASSERT_GT(nose.count, 0);
    EXPECT_LT(hat.bounds.top, picture.height / 4) << "the hat on top";
    EXPECT_LT(hat.bounds.top, snow.bounds.top + 1) << "the hat above the snow";
    EXPECT_GT(nose.y, hat.bounds.top) << "the nose below the hat's top";
    EXPECT_NEAR(nose.x, picture.width / 2.0, picture.width * 0.1) << "the nose on the middle";
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
    Box bottom = In(left, {0, 0.69, 1, 1}), top = In(left, {0, 0, 1, 0.31});
    auto nearLeft = render::FindUnlike(left, white, 10, bottom), nearRight = render::FindUnlike(right, white, 10, bottom);
    auto farLeft = render::FindUnlike(left, white, 10, top), farRight = render::FindUnlike(right, white, 10, top);
    ASSERT_GT(nearLeft.count, 0.005 * Pixels(bottom));
    ASSERT_GT(farLeft.count, 0.002 * Pixels(top));
    EXPECT_GT(nearLeft.x - nearRight.x, 2);
    EXPECT_LT(farLeft.x - farRight.x, -1);
    EXPECT_NEAR(nearLeft.y, nearRight.y, 0.5) << "no vertical parallax";
    // The torus sits on the plane without parallax: the middle matches.
    auto middleLeft = render::FindUnlike(left, white, 10, In(left, {0.35, 0.35, 0.65, 0.65}));
    auto middleRight = render::FindUnlike(right, white, 10, In(right, {0.35, 0.35, 0.65, 0.65}));
    EXPECT_NEAR(middleLeft.x, middleRight.x, 1.5);
}

} // namespace
