// The modelling commands rendered on Mesa through the host: light and shade,
// where the transforms put each solid, what the styles draw, the facing, and
// the example scripts.
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using render::Blob;
using render::Box;
using render::Image;
using render::Rgb;

const uint32_t Black = Rgb(0, 0, 0);

double Brightness(uint32_t c)
{
    return (render::Red(c) + render::Green(c) + render::Blue(c)) / 3.0;
}

// The mean brightness of the pixels unlike black within box.
double MeanBrightness(const Image &image, Box box)
{
    double sum = 0;
    long n = 0;
    for (int y = box.top; y < box.bottom; y++)
        for (int x = box.left; x < box.right; x++)
            if (!render::Near(image.At(x, y), Black, 2)) {
                sum += Brightness(image.At(x, y));
                n++;
            }
    return n ? sum / n : 0;
}

render::RenderResult Render(const std::string &script)
{
    render::RenderResult run = render::RenderScript(script);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    return run;
}

// Bounds equal within tolerance pixels on every side.
void ExpectBounds(const Box &actual, const Box &expected, int tolerance, const char *what)
{
    EXPECT_NEAR(actual.left, expected.left, tolerance) << what;
    EXPECT_NEAR(actual.top, expected.top, tolerance) << what;
    EXPECT_NEAR(actual.right, expected.right, tolerance) << what;
    EXPECT_NEAR(actual.bottom, expected.bottom, tolerance) << what;
}

TEST(ModelRender, LitSphereIsBrightTowardsTheLightAndDarkAway)
{
    for (const char *shading : {"smooth", "flat"}) {
        auto run = Render(std::string("canvas 200 200 persp 30 1 100 10\nclear 0 0 0\nlight 1 0 0\ndiffuse 1 1 1\n") +
                          "scale 2 2 2\nsphere 24 48 " + shading + "\nfinish\n");
        Blob sphere = render::FindUnlike(run.window, Black, 2);
        ASSERT_GT(sphere.count, 5000) << shading;
        EXPECT_NEAR(sphere.x, 100, 2) << shading << ": the sphere is centred";
        const Box b = sphere.bounds;
        int third = (b.right - b.left) / 3;
        double lit = MeanBrightness(run.window, {b.right - third, b.top, b.right, b.bottom});
        double shaded = MeanBrightness(run.window, {b.left, b.top, b.left + third, b.bottom});
        EXPECT_GT(lit, 150) << shading;
        EXPECT_LT(shaded, 70) << shading;
    }
}

TEST(ModelRender, SolidsAppearWhereTheTransformsPutThem)
{
    // Orthographic, 10 units high on 200 pixels: 20 pixels a unit, origin at (150, 100).
    auto run = Render(
        "canvas 300 200 ortho 5 1 100 10\nclear 0 0 0\n"
        "color 1 0 0\npush\nmove 3 1 0\nscale 1.5 1 1\ncube\npop\n"
        "color 0 1 0\npush\nmove -4 -2 0\nrotate -90 1 0 0\nscale 1 1 3\ncylinder 1 1 360 32 x\npop\n"
        "color 0 0 1\npush\nmove 0 -1 0\nscale 0.5 0.5 0.5\ntorus 2 0 360 16 x 360 48 x\npop\nfinish\n");
    Blob cube = render::FindNear(run.window, Rgb(255, 0, 0), 8);
    Blob cylinder = render::FindNear(run.window, Rgb(0, 255, 0), 8);
    Blob torus = render::FindNear(run.window, Rgb(0, 0, 255), 8);
    ExpectBounds(cube.bounds, {210, 60, 240, 80}, 1, "cube: x 3 to 4.5, y 1 to 2");
    ExpectBounds(cylinder.bounds, {50, 80, 90, 140}, 1, "cylinder lying along y: x -5 to -3, y -2 to 1");
    ExpectBounds(torus.bounds, {120, 90, 180, 150}, 1, "torus: radius 1.5 about (0, -1)");
    EXPECT_NEAR(torus.x, 150, 1);
    EXPECT_NEAR(torus.y, 120, 1);
    EXPECT_EQ(render::CountNear(run.window, Rgb(0, 0, 255), 8, Box{144, 114, 156, 126}), 0) << "the hole stays empty";
}

TEST(ModelRender, WireAndDotDrawLessOfTheSameShape)
{
    auto count = [](const char *style) {
        auto run = Render(std::string("canvas 200 200 persp 30 1 100 10\nclear 0 0 0\ncolor 1 1 1\n") + style +
                          "\nrotate 60 1 0 0\ntorus 1.5 0 360 12 x 360 24 x\nsphere 8 16 smooth\nfinish\n");
        return render::FindUnlike(run.window, Black, 30);
    };
    Blob solid = count("solid"), wire = count("wire"), dots = count("dot 2");
    ASSERT_GT(solid.count, 8000);
    EXPECT_LT(wire.count, solid.count * 6 / 10);
    EXPECT_GT(wire.count, solid.count / 20);
    EXPECT_LT(dots.count, wire.count * 6 / 10);
    EXPECT_GT(dots.count, 100);
    for (const Blob *b : {&wire, &dots})
        ExpectBounds(b->bounds, solid.bounds, 3, "the same outline");
}

TEST(ModelRender, InsideFacingDarkensFacesTurnedToTheLight)
{
    auto centre = [](const char *facing, const char *solid) {
        auto run = Render(std::string("canvas 120 120 persp 30 1 100 10\nclear 0 0 0\nlight 0 0 1\ndiffuse 1 1 1\n") +
                          facing + "\n" + solid + "\nfinish\n");
        return MeanBrightness(run.window, {50, 50, 70, 70});
    };
    for (const char *solid : {"sphere 16 32 smooth", "torus 0 0 180 16 x 360 32 x", "move -0.5 -0.5 0\ncube",
                              "rotate 90 1 0 0\nmove 0 -0.5 0\ncylinder 1 1 360 32 x"}) {
        double out = centre("out", solid), in = centre("in", solid);
        EXPECT_GT(out, 200) << solid;
        EXPECT_LT(in, out * 0.4) << solid;
    }
}

TEST(ModelRender, ExamplesRenderWithoutErrors)
{
    const auto dir = std::filesystem::path(TESSELIN_SOURCE_DIR) / "examples";
    for (const char *name : {"lit_scene.tsl", "wireframe.tsl", "torus_knot_anaglyph.tsl"}) {
        std::ifstream in(dir / name);
        ASSERT_TRUE(in) << name;
        std::string text, line;
        while (std::getline(in, line))
            text += line + "\n";
        render::RenderOptions options;
        options.name = name;
        auto run = render::RenderScript(text, options);
        EXPECT_EQ(run.status, 0) << run.AllMessages();
        EXPECT_TRUE(run.messages.empty()) << run.AllMessages();
        ASSERT_FALSE(run.frames.empty()) << options.name;
        const Image &frame = run.frames.back();
        Blob drawn = render::FindUnlike(frame, frame.At(0, 0), 12);
        EXPECT_GT(drawn.count, frame.width * frame.height / 20) << options.name << " draws a good part of the canvas";
        if (text.find("\nanaglyph ") != std::string::npos) {
            // The eyes see the knot from two places: red fringes on one side of
            // the tube, cyan on the other.
            long red = 0, cyan = 0;
            for (uint32_t pixel : run.window.pixels) {
                red += render::Red(pixel) - render::Green(pixel) > 60;
                cyan += render::Green(pixel) - render::Red(pixel) > 60;
            }
            EXPECT_GT(red, 500) << name;
            EXPECT_GT(cyan, 500) << name;
        }
    }
}

}
