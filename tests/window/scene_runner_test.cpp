// The live window's source of pictures, on the real module and Mesa without a
// display: a run gives what tesselin run gives, a failed run says why, and a
// turn gives what a run with that camera gives.
#include "app/view/script_runner.h"
#include "tests/render/render_harness.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

struct Collected final : tesselin::MessageSink {
    void Line(const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

std::string WriteScript(const std::string &name, const std::string &text)
{
    return WriteFile(render::ScratchDirectory() + "/" + name, text);
}

const char *Mono = "canvas 160 120 persp 30 1 100 12\nclear 1 1 1\nlight 0 0 1\ndiffuse 1 0 0\n"
                   "push\nmove -2 0 0\nsphere 12 16 smooth\npop\ndiffuse 0 1 0\ncube\nfinish\n";
const char *Stereo = "canvas 160 120 0 persp 30 1 100 12 0.8 0\nclear 1 1 1\nlight 0 0 1\ndiffuse 1 1 0\n"
                     "move 0 0 2\ncube\nfinish\nanaglyph 1 0 0 0 1 1\n";

TEST(SceneRunner, ARunShowsWhatTheScriptDrawsAndKnowsItsDistance)
{
    for (const char *text : {Mono, Stereo}) {
        // Rendered first: one host at a time.
        auto expected = render::RenderScript(text);
        Collected sink;
        tesselin::SceneRunner runner(WriteScript("scene.tsl", text), render::ModulePath(), sink);
        auto outcome = runner.Run({});
        ASSERT_TRUE(outcome.pictures) << outcome.problem;
        EXPECT_EQ(outcome.pictures->window.pixels, expected.window.pixels);
        EXPECT_EQ(outcome.pictures->right.has_value(), !expected.right.Empty());
        if (outcome.pictures->right) {
            EXPECT_EQ(outcome.pictures->right->pixels, expected.right.pixels);
            // The left eye before the anaglyph, as side by side shows it.
            ASSERT_TRUE(outcome.pictures->left);
            EXPECT_NE(outcome.pictures->left->pixels, outcome.pictures->window.pixels);
        }
        EXPECT_EQ(runner.ScriptDistance(), 12);
        EXPECT_TRUE(outcome.problem.empty());
        EXPECT_FALSE(outcome.startFault);
    }
}

TEST(SceneRunner, AFailedRunHasNoPictureAndSaysWhy)
{
    struct Case {
        const char *name;
        std::string script; // empty: no file
        const char *problem;
    };
    const Case cases[] = {
        {"an error", "canvas 100 80 persp 30 1 100 10\nclear 1 0 0\nnonsense\nfinish\n", "scene.tsl:3: Error! "},
        {"the script is gone", "", "cannot read the script"},
        {"a line over the bound", std::string(17u << 20, 'x') + "\ncanvas 100 80 persp 30 1 100 10\nfinish\n",
         "scene.tsl:1: Error! the line is longer than 16 MiB"},
    };
    for (const Case &c : cases) {
        Collected sink;
        std::string path = c.script.empty() ? render::ScratchDirectory() + "/missing.tsl"
                                            : WriteScript("scene.tsl", c.script);
        tesselin::SceneRunner runner(path, render::ModulePath(), sink);
        auto outcome = runner.Run({});
        EXPECT_FALSE(outcome.pictures) << c.name;
        EXPECT_NE(outcome.problem.find(c.problem), std::string::npos) << c.name << ": " << outcome.problem;
        EXPECT_FALSE(outcome.startFault) << c.name;
        // The message also went to the sink.
        ASSERT_FALSE(sink.lines.empty()) << c.name;
    }
    Collected sink;
    tesselin::SceneRunner runner(WriteScript("scene.tsl", Mono), "/no/such/module.so", sink);
    auto outcome = runner.Run({});
    EXPECT_FALSE(outcome.pictures);
    EXPECT_TRUE(outcome.startFault);
}

TEST(SceneRunner, ATurnShowsWhatARunWithThatCameraShows)
{
    const tesselin::Camera cameras[] = {{180, 0, {}}, {35, 20, {}}, {-60, -15, 9.0}};
    for (const char *text : {Mono, Stereo}) {
        // Rendered first: one host at a time.
        std::vector<render::RenderResult> runs;
        for (const tesselin::Camera &camera : cameras) {
            render::RenderOptions options;
            options.camera = camera;
            runs.push_back(render::RenderScript(text, options));
        }
        Collected sink;
        tesselin::SceneRunner runner(WriteScript("scene.tsl", text), render::ModulePath(), sink);
        auto first = runner.Run({});
        ASSERT_TRUE(first.pictures);
        for (std::size_t i = 0; i < runs.size(); i++) {
            const tesselin::Camera &camera = cameras[i];
            const render::RenderResult &expected = runs[i];
            auto turned = runner.Turn(camera);
            ASSERT_TRUE(turned.pictures) << turned.problem;
            EXPECT_EQ(turned.pictures->window.pixels, expected.window.pixels) << camera.azimuth;
            if (!expected.right.Empty()) {
                ASSERT_TRUE(turned.pictures->right);
                EXPECT_EQ(turned.pictures->right->pixels, expected.right.pixels) << camera.azimuth;
            }
            EXPECT_NE(turned.pictures->window.pixels, first.pictures->window.pixels) << camera.azimuth;
            // A frame this small is kept, so it is redrawn without running the script.
            EXPECT_TRUE(turned.redrawn) << camera.azimuth;
        }
    }
}

// The window with --anaglyph is what tesselin run -o writes with it, and
// --swap-eyes exchanges which eye gives which channels, after turns too.
TEST(SceneRunner, TheWindowIsComposedAsTesselinRunWritesIt)
{
    using tesselin::AnaglyphMethod;
    std::string script = WriteScript("stereo.tsl", Stereo);
    struct Case {
        const char *name;
        std::vector<std::string> options;
        tesselin::StereoLook look;
        bool turned = false; // to --orbit 40,10 after the first run
    };
    const Case cases[] = {
        {"color", {"--anaglyph", "color"}, {AnaglyphMethod::Color, false, {}}},
        {"color swapped", {"--anaglyph", "color", "--swap-eyes"}, {AnaglyphMethod::Color, true, {}}},
        {"gray turned", {"--anaglyph", "gray", "--orbit", "40,10"}, {AnaglyphMethod::Gray, false, {}}, true},
    };
    std::vector<std::vector<uint32_t>> shown;
    for (const Case &c : cases) {
        std::string written = render::ScratchDirectory() + "/composed.png";
        std::vector<std::string> args = {"run", script, "-o", written};
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto run = render::RunTesselin(args);
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        auto expected = render::LoadPng(written);
        ASSERT_TRUE(expected) << c.name;

        Collected sink;
        tesselin::SceneRunner runner(script, render::ModulePath(), sink, 1, c.look);
        auto outcome = runner.Run({});
        if (c.turned)
            outcome = runner.Turn({40, 10, {}});
        ASSERT_TRUE(outcome.pictures) << c.name << ": " << outcome.problem;
        const tesselin::RunPictures &pictures = *outcome.pictures;
        EXPECT_EQ(pictures.window.width, expected->width) << c.name;
        EXPECT_EQ(pictures.window.pixels, expected->pixels) << c.name;
        ASSERT_TRUE(pictures.left && pictures.right) << c.name;
        if (c.look.anaglyph != AnaglyphMethod::Color)
            continue;
        shown.push_back(pictures.window.pixels);
        // Red from one eye, green and blue from the other.
        const tesselin::Image &redEye = c.look.swapEyes ? *pictures.right : *pictures.left;
        const tesselin::Image &cyanEye = c.look.swapEyes ? *pictures.left : *pictures.right;
        ASSERT_EQ(pictures.window.pixels.size(), redEye.pixels.size()) << c.name;
        for (std::size_t i = 0; i < pictures.window.pixels.size(); i++) {
            uint32_t pixel = pictures.window.pixels[i];
            ASSERT_EQ(tesselin::Red(pixel), tesselin::Red(redEye.pixels[i])) << c.name << " at " << i;
            ASSERT_EQ(tesselin::Green(pixel), tesselin::Green(cyanEye.pixels[i])) << c.name << " at " << i;
            ASSERT_EQ(tesselin::Blue(pixel), tesselin::Blue(cyanEye.pixels[i])) << c.name << " at " << i;
        }
    }
    // The eyes differ, so swapping them shows another picture.
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0], shown[1]);
}

TEST(SceneRunner, ATurnAfterAFailedRunRunsTheScriptAgain)
{
    Collected sink;
    std::string path = WriteScript("scene.tsl", "canvas 100 80 persp 30 1 100 10\nbogus\n");
    tesselin::SceneRunner runner(path, render::ModulePath(), sink);
    EXPECT_FALSE(runner.Run({}).pictures);
    WriteScript("scene.tsl", Mono);
    auto turned = runner.Turn({90, 0, {}});
    ASSERT_TRUE(turned.pictures) << turned.problem;
    EXPECT_FALSE(turned.redrawn);
}

} // namespace

namespace {

std::string FileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The e key of the live window: the model is the script's, whichever way the
// window has turned it.
TEST(SceneRunner, ATurnedViewExportsTheSameModel)
{
    for (const char *text : {Mono, Stereo}) {
        Collected sink;
        tesselin::SceneRunner runner(WriteScript("export.tsl", text), render::ModulePath(), sink);
        ASSERT_TRUE(runner.Run({}).pictures);
        std::string before = render::ScratchDirectory() + "/before.glb", after = render::ScratchDirectory() + "/after.glb";
        ASSERT_TRUE(runner.Export(before));
        auto turned = runner.Turn({60, 25, 20.0});
        ASSERT_TRUE(turned.pictures) << turned.problem;
        ASSERT_TRUE(runner.Export(after));
        EXPECT_GT(FileText(before).size(), 1000u);
        EXPECT_EQ(FileText(before), FileText(after));
    }
    Collected sink;
    tesselin::SceneRunner flat(WriteScript("flat.tsl", "canvas 100 100\nfinish\n"), render::ModulePath(), sink);
    flat.Run({});
    EXPECT_FALSE(flat.Export(render::ScratchDirectory() + "/flat.glb"));
    EXPECT_FALSE(std::filesystem::exists(render::ScratchDirectory() + "/flat.glb"));
}

// Every example turned and redrawn from its kept frame (the first redraw
// groups the frame into vertex arrays, the next ones draw the groups) gives
// the very pixels tesselin run --orbit gives. (room.tsl is left out: its
// copies would land beside it in the source folder.)
TEST(SceneRunner, GroupedRedrawsOfEveryExampleEqualARunFromThatCamera)
{
    struct Case {
        const char *example;
        const char *orbit;
        double azimuth, elevation;
    };
    const Case cases[] = {
        {"demo.tsl", "35,20", 35, 20},          {"lit_scene.tsl", "-50,10", -50, 10},
        {"stereo_ring.tsl", "25,40", 25, 40},   {"wireframe.tsl", "90,-30", 90, -30},
        {"point_cloud.tsl", "10,5", 10, 5},
        {"torus_knot_anaglyph.tsl", "60,0", 60, 0}, {"turntable.tsl", "15,30", 15, 30},
    };
    // The examples name their data files from the source folder.
    auto before = std::filesystem::current_path();
    std::filesystem::current_path(TESSELIN_SOURCE_DIR);
    for (const Case &c : cases) {
        std::string script = std::string(TESSELIN_SOURCE_DIR) + "/examples/" + c.example;
        std::string out = render::ScratchDirectory() + "/grouped-" + c.example + ".png";
        auto run = render::RunTesselin({"run", script, "--orbit", c.orbit, "-o", out});
        ASSERT_EQ(run.status, 0) << c.example << ": " << run.err;
        auto written = render::LoadPng(out);
        ASSERT_TRUE(written) << c.example;
        Collected sink;
        tesselin::SceneRunner runner(script, render::ModulePath(), sink);
        ASSERT_TRUE(runner.Run({}).pictures) << c.example;
        // Away and back: the second redraw at the camera plays the groups the first made.
        for (const tesselin::Camera &camera : {tesselin::Camera{c.azimuth, c.elevation, {}},
                                               tesselin::Camera{c.azimuth + 90, 0, {}},
                                               tesselin::Camera{c.azimuth, c.elevation, {}}}) {
            auto turned = runner.Turn(camera);
            ASSERT_TRUE(turned.pictures) << c.example << ": " << turned.problem;
            EXPECT_TRUE(turned.redrawn) << c.example << " ran again instead of being redrawn";
            if (camera.azimuth == c.azimuth) {
                EXPECT_EQ(turned.pictures->window.pixels, written->pixels) << c.example << " from " << camera.azimuth;
            }
        }
        // Every example's record is one a reset of its contexts undoes.
        EXPECT_EQ(runner.RedrawsInPlace(), 2u) << c.example;
    }
    std::filesystem::current_path(before);
}

} // namespace
