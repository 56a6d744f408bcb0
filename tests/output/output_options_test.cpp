// The output options through the tesselin program, judged by the files it
// writes: multisampled edges, anaglyphs by method, swapped eyes, layouts,
// stereo JPEGs and animations.
#include "app/picture/anaglyph.h"
#include "app/picture/layout.h"
#include "tests/render/render_harness.h"
#include "tests/shared/text_files.h"

#include <gif_lib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace {

using render::RunTesselin;
using tesselin::Image;

std::string Scratch(const std::string &name) { return render::ScratchDirectory() + "/" + name; }

std::string WriteScript(const std::string &name, const std::string &text) { return WriteFile(Scratch(name), text); }

// A flat-coloured hexagon on white: without multisampling only those two
// colours, with it a rim of blends.
const char *Hexagon = "canvas 120 90 persp 30 1 100 10\n"
                      "clear 1 1 1\n"
                      "light 0 0 1\nambient 0 0 0\ndiffuse 0 0 0\nshine 0 0 0 0\n"
                      "emit 0.2 0.4 0.8\n"
                      "rotate 17 0 0 1\n"
                      "disk 0 2 360 6\n"
                      "finish\n";

// A stereo pair of coloured balls, near and far, so the eyes differ.
std::string StereoBalls(double separation, bool anaglyph)
{
    return "canvas 160 120 0 persp 30 1 100 14 " + std::to_string(separation) +
           " 0\n"
           "clear 1 1 1\nlight -1 1 2\nambient 0.3 0.3 0.3\n"
           "push\nmove -2 0 3\ndiffuse 0.9 0.2 0.2\nsphere 16 24 smooth\npop\n"
           "push\nmove 2 0 -3\ndiffuse 0.2 0.5 0.9\nsphere 16 24 smooth\npop\n"
           "finish\n" +
           (anaglyph ? "anaglyph 1 0 0 0 1 1\n" : "");
}

std::set<uint32_t> Colours(const Image &image) { return {image.pixels.begin(), image.pixels.end()}; }

Image Half(const Image &pair, int which)
{
    Image half(pair.width / 2, pair.height);
    for (int y = 0; y < half.height; y++)
        for (int x = 0; x < half.width; x++)
            half.At(x, y) = pair.At(x + which * half.width, y);
    return half;
}

Image RunAndLoad(const std::vector<std::string> &args, const std::string &out, int status = 0)
{
    auto result = RunTesselin(args);
    EXPECT_EQ(result.status, status) << result.err;
    auto image = render::LoadPng(out);
    EXPECT_TRUE(image) << out << "\n" << result.err;
    return image ? *image : Image();
}

TEST(Multisampling, SmoothsEdgesAndOneSampleKeepsTheExactRaster)
{
    std::string script = WriteScript("hexagon.tsl", Hexagon);
    Image exact = RunAndLoad({"run", script, "-o", Scratch("hex1.png"), "--samples", "1"}, Scratch("hex1.png"));
    Image smooth = RunAndLoad({"run", script, "-o", Scratch("hex4.png"), "--samples", "4"}, Scratch("hex4.png"));
    auto exactColours = Colours(exact), smoothColours = Colours(smooth);
    EXPECT_EQ(exactColours, (std::set<uint32_t>{render::Rgb(255, 255, 255), render::Rgb(51, 102, 204)}));
    EXPECT_GE(smoothColours.size(), 4u) << "blends of the two colours on the edges";
    // The blends lie between the colours, and only at the edges: the
    // hexagon's area is the same to within its rim.
    long inside = render::CountNear(exact, render::Rgb(51, 102, 204), 0);
    long core = render::CountNear(smooth, render::Rgb(51, 102, 204), 0);
    long blends = long(smooth.pixels.size()) - core - render::CountNear(smooth, render::Rgb(255, 255, 255), 0);
    EXPECT_GT(blends, 20);
    EXPECT_LT(std::abs(inside - core), blends);
    for (uint32_t c : smoothColours) {
        EXPECT_GE(render::Red(c), 51);
        EXPECT_GE(render::Blue(c), 204);
    }
}

TEST(Multisampling, BothEyesAreResolvedAlike)
{
    // Eyes 0 apart see the same thing: the right eye must equal the left.
    std::string script = WriteScript("same.tsl", StereoBalls(0, false));
    Image pair = RunAndLoad({"run", script, "--pair", Scratch("same.png"), "--samples", "4"}, Scratch("same.png"));
    ASSERT_EQ(pair.width, 320);
    EXPECT_EQ(Half(pair, 0).pixels, Half(pair, 1).pixels);
    EXPECT_GE(Colours(Half(pair, 0)).size(), 50u);
}

TEST(Multisampling, PicturesTextCellsAndFlatCanvasesAreUnchanged)
{
    std::string photo = std::string(TESSELIN_SOURCE_DIR) + "/examples/images/balls.jpg";
    const std::pair<const char *, std::string> scripts[] = {
        {"flat", "canvas 300 200\npicture l 10 5 0.8 abs " + photo + "\nerase black\npicture l 10 5 0.8 abs " + photo + "\n"},
        {"welcome", "picture l 0 0 0.5 abs " + photo + "\n"},
        {"stereo-pictures", "canvas 200 150 12\npicture l 0 0 1 abs " + photo + "\npicture r 0 0 1 abs " + photo + "\n"},
        // Text cells on whole pixels: one unit is one pixel, anchored at 0.
        {"text-cells", "canvas 200 100 ortho 50 1 100 10\nclear 1 1 1\nlight 0 0 1\ndiffuse 0.8 0.2 0.2\n"
                       "text 0.5 0.5 2 Hello, cells\nfinish\n"},
    };
    for (const auto &[name, text] : scripts) {
        SCOPED_TRACE(name);
        std::string script = WriteScript(std::string(name) + ".tsl", text);
        std::string one = Scratch(std::string(name) + "-1.png"), four = Scratch(std::string(name) + "-4.png");
        Image a = RunAndLoad({"run", script, "-o", one, "--samples", "1"}, one);
        Image b = RunAndLoad({"run", script, "-o", four, "--samples", "4"}, four);
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.pixels, b.pixels);
        EXPECT_GE(Colours(a).size(), 2u) << "something was drawn";
    }
}

TEST(Options, BadValuesAreUsageFaults)
{
    std::string script = WriteScript("bad.tsl", Hexagon);
    const std::vector<std::vector<std::string>> cases = {
        {"--samples", "0"}, {"--samples", "4x"}, {"--samples", "65"}, {"--anaglyph", "red-cyan"},
        {"--layout", "side"}, {"--animation", "a.avi"}, {"--fps", "0"}, {"--fps", "fast"}, {"--swap-eyes=1"},
    };
    for (const auto &extra : cases) {
        std::vector<std::string> args = {"run", script};
        args.insert(args.end(), extra.begin(), extra.end());
        auto result = RunTesselin(args);
        EXPECT_EQ(result.status, 2) << extra[0];
        EXPECT_TRUE(Contains(result.err, extra[0].substr(0, extra[0].find('=')))) << result.err;
    }
    auto named = RunTesselin({"run", script, "--anaglyph", "cyan"});
    EXPECT_TRUE(Contains(named.err, "dubois, green-magenta, amber-blue")) << named.err;
    auto help = RunTesselin({"--help"});
    for (const char *option : {"--samples", "--anaglyph", "--swap-eyes", "--pair", "--layout", "--animation", "--fps"})
        EXPECT_TRUE(Contains(help.out, option)) << option;
}

// The two eyes as --pair writes them (parallel), for comparison.
std::pair<Image, Image> Eyes(const std::string &script, const std::vector<std::string> &extra = {})
{
    std::string path = Scratch("eyes.png");
    std::vector<std::string> args = {"run", script, "--pair", path};
    args.insert(args.end(), extra.begin(), extra.end());
    Image pair = RunAndLoad(args, path);
    return {Half(pair, 0), Half(pair, 1)};
}

TEST(AnaglyphOption, EachEyeLandsInItsChannelsAndSwapExchangesThem)
{
    std::string script = WriteScript("balls.tsl", StereoBalls(1.2, true));
    auto [left, right] = Eyes(script);
    ASSERT_NE(left.pixels, right.pixels) << "the eyes must differ for this test";
    struct Case {
        std::vector<std::string> options;
        const Image *redFrom, *cyanFrom;
    };
    const Case cases[] = {
        {{"--anaglyph", "color"}, &left, &right},
        {{"--anaglyph", "color", "--swap-eyes"}, &right, &left},
        // The script's own anaglyph (red from the left), and swapped.
        {{}, &left, &right},
        {{"--swap-eyes"}, &right, &left},
    };
    for (const Case &c : cases) {
        std::string out = Scratch("anaglyph.png");
        std::vector<std::string> args = {"run", script, "-o", out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(args.size() > 4 ? args[4] + (args.size() > 6 ? " " + args.back() : "") : "script");
        Image image = RunAndLoad(args, out);
        ASSERT_EQ(image.width, left.width);
        long wrong = 0;
        for (std::size_t i = 0; i < image.pixels.size(); i++) {
            uint32_t p = image.pixels[i], r = c.redFrom->pixels[i], g = c.cyanFrom->pixels[i];
            wrong += render::Red(p) != render::Red(r) || render::Green(p) != render::Green(g) ||
                     render::Blue(p) != render::Blue(g);
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(AnaglyphOption, GrayAndLeastSquaresMethodsFromTheProgram)
{
    std::string script = WriteScript("gray.tsl", StereoBalls(0, false));
    for (const char *method : {"gray", "dubois", "half-color", "green-magenta", "amber-blue"}) {
        std::string out = Scratch(std::string(method) + ".png");
        Image image = RunAndLoad({"run", script, "-o", out, "--anaglyph", method}, out);
        auto [left, right] = Eyes(script);
        Image expected = tesselin::ComposeAnaglyphImage(left, right, *tesselin::AnaglyphMethodNamed(method));
        EXPECT_EQ(image.pixels, expected.pixels) << method;
        if (std::string(method) == "gray") {
            // Equal eyes: every pixel grey.
            long coloured = 0;
            for (uint32_t p : image.pixels)
                coloured += render::Red(p) != render::Green(p) || render::Green(p) != render::Blue(p);
            EXPECT_EQ(coloured, 0);
        }
    }
}

TEST(AnaglyphOption, WithoutAStereoPairTheWindowIsWrittenAsItIsWithAWarning)
{
    std::string script = WriteScript("mono.tsl", Hexagon);
    std::string plain = Scratch("mono-plain.png"), composed = Scratch("mono-dubois.png");
    Image a = RunAndLoad({"run", script, "-o", plain}, plain);
    auto result = RunTesselin({"run", script, "-o", composed, "--anaglyph", "dubois"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Contains(result.err, "Warning: the anaglyph options need a stereo pair")) << result.err;
    auto b = render::LoadPng(composed);
    ASSERT_TRUE(b);
    EXPECT_EQ(a.pixels, b->pixels);
}

TEST(LayoutOption, PairsAreArrangedAsAsked)
{
    std::string script = WriteScript("layout.tsl", StereoBalls(1.2, false));
    auto [left, right] = Eyes(script);
    struct Case {
        const char *layout;
        Image expected;
    };
    const Case cases[] = {
        {"cross-eyed", tesselin::ArrangePair(right, left, tesselin::StereoLayout::Parallel)},
        {"over-under", tesselin::ArrangePair(left, right, tesselin::StereoLayout::OverUnder)},
        {"half-width", tesselin::ArrangePair(left, right, tesselin::StereoLayout::HalfWidth)},
        {"half-height", tesselin::ArrangePair(left, right, tesselin::StereoLayout::HalfHeight)},
    };
    for (const Case &c : cases) {
        std::string out = Scratch(std::string(c.layout) + ".png");
        Image image = RunAndLoad({"run", script, "--pair", out, "--layout", c.layout}, out);
        EXPECT_EQ(image.width, c.expected.width) << c.layout;
        EXPECT_EQ(image.height, c.expected.height) << c.layout;
        EXPECT_EQ(image.pixels, c.expected.pixels) << c.layout;
    }
    // --side-by-side keeps writing the parallel pair; --swap-eyes crosses it.
    std::string sbs = Scratch("sbs.png");
    Image parallel = RunAndLoad({"run", script, "--side-by-side", sbs, "--layout", "over-under"}, sbs);
    EXPECT_EQ(Half(parallel, 0).pixels, left.pixels);
    Image crossed = RunAndLoad({"run", script, "--side-by-side", sbs, "--swap-eyes"}, sbs);
    EXPECT_EQ(Half(crossed, 0).pixels, right.pixels);
}

TEST(LayoutOption, StereoJpegAndMissingPairs)
{
    std::string script = WriteScript("mpo.tsl", StereoBalls(1.2, false));
    std::string mpo = Scratch("pair.Mpo");
    auto result = RunTesselin({"run", script, "--pair", mpo});
    EXPECT_EQ(result.status, 0) << result.err;
    std::string bytes = ReadFile(mpo);
    // Two JPEG images, one after the other, the first with an MPF segment.
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
    EXPECT_NE(bytes.find(std::string("MPF\0MM", 6)), std::string::npos);
    EXPECT_NE(bytes.find("\xFF\xD9\xFF\xD8"), std::string::npos);

    std::string mono = WriteScript("no-pair.tsl", Hexagon);
    auto missing = RunTesselin({"run", mono, "--pair", Scratch("none.mpo")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.err, "there is no stereo pair")) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(Scratch("none.mpo")));
}

struct GifFrames {
    std::vector<Image> frames;
    std::vector<int> delays;
};

GifFrames ReadGif(const std::string &path)
{
    GifFrames out;
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        if (gif)
            DGifCloseFile(gif, &error);
        return out;
    }
    for (int i = 0; i < gif->ImageCount; i++) {
        const SavedImage &saved = gif->SavedImages[i];
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, i, &control);
        out.delays.push_back(control.DelayTime);
        Image image(saved.ImageDesc.Width, saved.ImageDesc.Height);
        const ColorMapObject *map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
        for (std::size_t p = 0; p < image.pixels.size(); p++) {
            GifColorType c = map->Colors[saved.RasterBits[p]];
            image.pixels[p] = render::Rgb(c.Red, c.Green, c.Blue);
        }
        out.frames.push_back(std::move(image));
    }
    DGifCloseFile(gif, &error);
    return out;
}

double MeanError(const Image &a, const Image &b)
{
    if (a.width != b.width || a.height != b.height)
        return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); i++)
        sum += std::abs(render::Red(a.pixels[i]) - render::Red(b.pixels[i])) +
               std::abs(render::Green(a.pixels[i]) - render::Green(b.pixels[i])) +
               std::abs(render::Blue(a.pixels[i]) - render::Blue(b.pixels[i]));
    return sum / (3.0 * double(a.pixels.size()));
}

TEST(AnimationOption, EveryFinishedFrameWithDelaysFromFps)
{
    // Three frames, each turned further: frame k's last image is frame k.
    std::string script = WriteScript("turn.tsl", std::string(Hexagon) + "clear 1 1 1\nrotate 20 0 0 1\ndisk 0 2 360 6\nfinish\n"
                                                                           "clear 1 1 1\nrotate 20 0 0 1\ndisk 0 2 360 6\nfinish\n");
    std::string gif = Scratch("turn.gif"), last = Scratch("turn-last.png");
    auto result = RunTesselin({"run", script, "--animation", gif, "--fps", "8", "-o", last, "--frames", Scratch("turn")});
    EXPECT_EQ(result.status, 0) << result.err;
    GifFrames frames = ReadGif(gif);
    ASSERT_EQ(frames.frames.size(), 3u);
    EXPECT_EQ(frames.delays, (std::vector<int>{13, 12, 13})); // 12.5 hundredths each, without drift
    for (int i = 0; i < 3; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "turn-%04d.png", i + 1);
        auto png = render::LoadPng(Scratch(name));
        ASSERT_TRUE(png);
        EXPECT_LT(MeanError(frames.frames[i], *png), 2.0) << "frame " << i;
    }
    EXPECT_GT(MeanError(frames.frames[0], frames.frames[2]), 1.0) << "the frames differ";
}

TEST(AnimationOption, StereoFramesShowTheAnaglyphOrTheLayout)
{
    std::string script = WriteScript("stereo-anim.tsl", StereoBalls(1.2, true) + "clear 1 1 1\nrotate 30 0 0 1\n"
                                                                                  "sphere 16 24 smooth\nfinish\n"
                                                                                  "anaglyph 1 0 0 0 1 1\n");
    std::string gif = Scratch("stereo.gif"), out = Scratch("stereo-last.png");
    auto result = RunTesselin({"run", script, "--animation", gif, "-o", out});
    EXPECT_EQ(result.status, 0) << result.err;
    GifFrames frames = ReadGif(gif);
    ASSERT_EQ(frames.frames.size(), 2u);
    auto anaglyph = render::LoadPng(out);
    ASSERT_TRUE(anaglyph);
    // The last frame went in as the script's anaglyph (what -o shows).
    EXPECT_LT(MeanError(frames.frames[1], *anaglyph), 2.0);

    std::string webp = Scratch("stereo.webp");
    result = RunTesselin({"run", script, "--animation", webp, "--layout", "half-width", "--pair", out});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(std::filesystem::file_size(webp) > 100);
    gif = Scratch("stereo-hw.gif");
    result = RunTesselin({"run", script, "--animation", gif, "--layout", "half-width", "--pair", out});
    frames = ReadGif(gif);
    auto pair = render::LoadPng(out);
    ASSERT_TRUE(pair && frames.frames.size() == 2);
    EXPECT_LT(MeanError(frames.frames[1], *pair), 2.0);
}

TEST(AnimationOption, FramesOfAnotherSizeAndFastGifsAreWarnedAbout)
{
    std::string script = WriteScript("two-sizes.tsl", std::string(Hexagon) +
                                                          "canvas 60 40 persp 30 1 100 10\nclear 0 0 0\nfinish\nfinish\n");
    std::string gif = Scratch("two-sizes.gif");
    auto result = RunTesselin({"run", script, "--animation", gif, "--fps", "60"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.err, "Warning: GIF frames last whole hundredths")) << result.err;
    EXPECT_TRUE(Contains(result.err, "Warning: animation frame 2 is 60 x 40, the animation 120 x 90")) << result.err;
    EXPECT_EQ(result.err.find("animation frame 3"), std::string::npos) << "said once";
    GifFrames frames = ReadGif(gif);
    ASSERT_EQ(frames.frames.size(), 3u);
    // The small black frame in the corner of a white one.
    EXPECT_EQ(frames.frames[1].At(10, 10), 0u);
    EXPECT_EQ(frames.frames[1].At(100, 80), render::Rgb(255, 255, 255));
}

TEST(AnimationOption, NoFrameAndNoEncoderAreReported)
{
    std::string flat = WriteScript("flat-anim.tsl", "canvas 100 80\nerase black\n");
    auto result = RunTesselin({"run", flat, "--animation", Scratch("flat.gif")});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "no frame was finished")) << result.err;
    EXPECT_FALSE(std::filesystem::exists(Scratch("flat.gif")));
}

} // namespace
