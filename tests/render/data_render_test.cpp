// The data commands rendered by the real host: a curve from a number file
// where it must be, text that reads the right way round and has depth,
// graduation ticks and labels in their places, and the data examples.
#include "tests/render/render_harness.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using render::Box;
using render::Rgb;

// An orthographic view that shows 150 units above and below the origin on a
// 400 x 300 canvas: one unit is one pixel, x right, y up, the origin at the
// pixel (200, 150).
const char *const PixelView = "canvas 400 300 ortho 150 1 100 50\n";

render::RenderResult Render(const std::string &script)
{
    render::RenderResult run = render::RenderScript(script);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    EXPECT_EQ(run.frames.size(), 1u);
    return run;
}

TEST(DataRender, SineFromANumberFileLiesOnItsCurve)
{
    std::string path = render::ScratchDirectory() + "/sine.txt";
    std::ofstream file(path, std::ios::binary);
    for (int degrees = 0; degrees <= 360; degrees += 2)
        file << degrees << ' ' << std::sin(degrees * M_PI / 180) << "\r\n";
    file.close();
    // 360 degrees across 360 units from x = -180; -1 .. 1 across -100 .. 100.
    auto run = Render(std::string(PixelView) + "clear 1 1 1\ncolor 1 0 0\nwire 3\nmove -180 0 0\nscale 1 100 1\n"
                      "arrayf " + path + " 2 0\narrayf " + path + " 2 1\nline\nfinish\n");
    const uint32_t red = Rgb(255, 0, 0);
    auto curve = render::FindNear(run.window, red, 60);
    EXPECT_NEAR(curve.bounds.left, 20, 3);
    EXPECT_NEAR(curve.bounds.right, 380, 3);
    EXPECT_NEAR(curve.bounds.top, 50, 3);
    EXPECT_NEAR(curve.bounds.bottom, 250, 3);
    for (int degrees = 10; degrees < 360; degrees += 25) {
        int x = 20 + degrees;
        auto column = render::FindNear(run.window, red, 60, Box{x, 0, x + 1, 300});
        ASSERT_GT(column.count, 0) << degrees;
        EXPECT_NEAR(column.y, 150 - 100 * std::sin(degrees * M_PI / 180), 2.5) << degrees << " degrees";
    }
}

// An L told from its mirror image and from its upside-down self: a full
// stem on the left, a foot along the bottom, nothing at the top right.
TEST(DataRender, TextReadsTheRightWayRound)
{
    auto run = Render(std::string(PixelView) + "clear 1 1 1\ncolor 0 0 0\nscale 8 8 8\ntext 0 0 2 L\nfinish\n");
    const uint32_t black = Rgb(0, 0, 0);
    auto letter = render::FindNear(run.window, black, 30);
    ASSERT_GT(letter.count, 500);
    Box b = letter.bounds;
    int w = b.right - b.left, h = b.bottom - b.top;
    EXPECT_GT(h, w) << "taller than wide";
    EXPECT_LT(letter.x, 196) << "centred with its trailing space, the letter's ink lies left of the origin";
    // One font pixel is 8 x 8 here: the first column and the last row are full.
    EXPECT_GT(render::CountNear(run.window, black, 30, Box{b.left, b.top, b.left + 4, b.bottom}), 4 * h * 9 / 10);
    EXPECT_GT(render::CountNear(run.window, black, 30, Box{b.left, b.bottom - 4, b.right, b.bottom}), w * 4 * 9 / 10);
    EXPECT_EQ(render::CountNear(run.window, black, 30, Box{b.left + w / 2, b.top, b.right, b.top + h / 2}), 0);
}

// Turned away from the viewer, deep text shows its lit walls beside its
// faces: more pixels than flat text, in two clearly different shades.
TEST(DataRender, DeepTextShowsItsWalls)
{
    auto draw = [](const char *depth) {
        return Render(std::string("canvas 400 300 persp 40 1 1000 300\nclear 0.2 0.3 0.6\nlight -1 0.5 1\n"
                                  "diffuse 1 1 1\nrotate 50 0 1 0\nscale 6 6 6\ntext 0 0 ") +
                      depth + " Hi\nfinish\n");
    };
    const uint32_t sky = Rgb(51, 77, 153);
    auto flat = draw("0"), deep = draw("4");
    auto flatText = render::FindUnlike(flat.window, sky, 8), deepText = render::FindUnlike(deep.window, sky, 8);
    ASSERT_GT(flatText.count, 300);
    EXPECT_GT(deepText.count, flatText.count * 13 / 10);
    uint32_t face = flat.window.At(int(flatText.x), int(flatText.y));
    long faces = render::CountNear(deep.window, face, 12, deepText.bounds);
    EXPECT_GT(faces, flatText.count / 3) << "faces " << render::Describe(face);
    EXPECT_GT(deepText.count - faces, flatText.count / 3) << "walls in another shade";
}

TEST(DataRender, GraduationTicksRiseOverTheirLabels)
{
    auto run = Render(std::string(PixelView) + "clear 1 1 1\nlight 0 0 1\nmove -100 0 0\nhgrad 0 0 1 40 100 A B C\nfinish\n");
    for (int k = 0; k < 3; k++) {
        int x = 100 + 100 * k;
        Box tickBox{x - 3, 100, x + 4, 151};
        auto tick = render::FindUnlike(run.window, Rgb(255, 255, 255), 40, tickBox);
        EXPECT_NEAR(tick.x, x, 1.0) << k;
        EXPECT_NEAR(tick.bounds.top, 110, 2) << "40 units above the axis";
        EXPECT_NEAR(tick.bounds.bottom, 150, 2);
        EXPECT_TRUE(render::Near(run.window.At(int(std::lround(tick.x)), 130), Rgb(0, 0, 255), 40))
            << render::Describe(run.window.At(int(std::lround(tick.x)), 130)) << " at " << tick.x;
        auto label = render::FindUnlike(run.window, Rgb(255, 255, 255), 40, Box{x - 30, 152, x + 30, 200});
        EXPECT_GT(label.count, 15) << k;
        EXPECT_NEAR(label.x, x, 2.5) << "centred under its tick";
        EXPECT_GT(label.bounds.top, 150) << "below the axis";
        EXPECT_GT(label.bounds.top, 153) << "0.3 of the label's height off the axis";
    }
}

// The data examples, run from the repository's top folder as they say.
render::RenderResult RenderExample(const std::string &name)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(TESSELIN_SOURCE_DIR);
    std::string text = ReadFile("examples/" + name);
    render::RenderOptions options;
    options.name = name;
    render::RenderResult run = render::RenderScript(text, options);
    std::filesystem::current_path(before);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    EXPECT_TRUE(run.messages.empty()) << run.AllMessages();
    return run;
}

TEST(DataRender, SinePlotExampleShowsTwoCurvesAxesAndCaption)
{
    auto run = RenderExample("sine_plot.tsl");
    ASSERT_EQ(run.window.width, 640);
    auto sine = render::FindNear(run.window, Rgb(217, 26, 26), 50);
    auto third = render::FindNear(run.window, Rgb(26, 89, 230), 50);
    EXPECT_GT(sine.count, 600);
    EXPECT_GT(third.count, 600);
    // The sine spans the plot: 0 to 360 degrees over x = 70 .. 550 pixels,
    // 1 to -1 over y = 110 .. 330.
    EXPECT_NEAR(sine.bounds.left, 70, 4);
    EXPECT_NEAR(sine.bounds.right, 550, 4);
    EXPECT_NEAR(sine.bounds.top, 110, 4);
    EXPECT_NEAR(sine.bounds.bottom, 330, 4);
    auto caption = render::FindUnlike(run.window, Rgb(255, 255, 255), 40, Box{0, 0, 640, 70});
    EXPECT_GT(caption.count, 400);
    EXPECT_NEAR(caption.x, 320, 25);
    auto labels = render::FindUnlike(run.window, Rgb(255, 255, 255), 40, Box{0, 335, 640, 400});
    EXPECT_GT(labels.count, 60) << "axis labels under the plot";
}

TEST(DataRender, PointCloudExampleShowsDotsAndADeepCaption)
{
    auto run = RenderExample("point_cloud.tsl");
    auto dots = render::FindNear(run.window, Rgb(255, 191, 38), 60);
    EXPECT_GT(dots.count, 2000);
    EXPECT_NEAR(dots.x, 320, 60);
    auto caption = render::FindUnlike(run.window, Rgb(13, 13, 31), 20, Box{0, dots.bounds.bottom + 2, 640, 480});
    EXPECT_GT(caption.count, 1000);
    EXPECT_NEAR(caption.x, 320, 40);
}

}
