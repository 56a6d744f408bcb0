// The live window's parts that need no display: which picture each mode
// shows, how the mouse turns the camera, noticing saves, the view's
// arguments, and the program's behaviour where no display can be reached.
#include "app/cli/options.h"
#include "app/view/file_watch.h"
#include "app/camera/orbit.h"
#include "app/view/view_mode.h"
#include "app/view/viewer.h"
#include "tests/render/render_harness.h"
#include "tests/window/program_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

using tesselin::Image;
using tesselin::RunPictures;
using tesselin::ViewMode;

Image Filled(int width, int height, uint32_t colour) { return Image(width, height, colour); }

constexpr uint32_t Grey = 0x00808080u, Orange = 0x000080FFu, Teal = 0x00A0A000u;

RunPictures Mono() { return {Filled(4, 3, Orange), std::nullopt, std::nullopt}; }
// A stereo pair whose left eye still fills the canvas window.
RunPictures Pair() { return {Filled(4, 3, Orange), Filled(4, 3, Orange), Filled(4, 3, Teal)}; }
// A stereo pair after the script's own anaglyph replaced the left canvas.
RunPictures ScriptAnaglyph() { return {Filled(4, 3, Grey), Filled(4, 3, Orange), Filled(4, 3, Teal)}; }

TEST(ViewPicture, EachModeShowsItsPictureOrSaysWhyNot)
{
    struct Case {
        const char *name;
        RunPictures pictures;
        ViewMode mode;
        std::optional<uint32_t> colour; // of every pixel; none when the mode has no picture
        int width;
    };
    // Red from the left eye, green and blue from the right eye.
    uint32_t redCyan = tesselin::Rgb(tesselin::Red(Orange), tesselin::Green(Teal), tesselin::Blue(Teal));
    const Case cases[] = {
        {"mono window", Mono(), ViewMode::Window, Orange, 4},
        {"mono left", Mono(), ViewMode::Left, Orange, 4},
        {"mono right", Mono(), ViewMode::Right, std::nullopt, 0},
        {"mono anaglyph", Mono(), ViewMode::Anaglyph, std::nullopt, 0},
        {"mono side by side", Mono(), ViewMode::SideBySide, std::nullopt, 0},
        {"pair window", Pair(), ViewMode::Window, Orange, 4},
        {"pair right", Pair(), ViewMode::Right, Teal, 4},
        {"pair anaglyph is red/cyan", Pair(), ViewMode::Anaglyph, redCyan, 4},
        {"script anaglyph window", ScriptAnaglyph(), ViewMode::Window, Grey, 4},
        {"script anaglyph left is the eye", ScriptAnaglyph(), ViewMode::Left, Orange, 4},
        {"script anaglyph kept", ScriptAnaglyph(), ViewMode::Anaglyph, Grey, 4},
        {"script anaglyph right", ScriptAnaglyph(), ViewMode::Right, Teal, 4},
    };
    for (const Case &c : cases) {
        std::string why;
        auto picture = tesselin::PictureFor(c.mode, c.pictures, why);
        ASSERT_EQ(picture.has_value(), c.colour.has_value()) << c.name;
        if (!picture) {
            EXPECT_NE(why.find("stereo pair"), std::string::npos) << c.name << ": " << why;
            continue;
        }
        EXPECT_EQ(picture->width, c.width) << c.name;
        EXPECT_EQ(picture->height, 3) << c.name;
        for (uint32_t pixel : picture->pixels)
            ASSERT_EQ(pixel, *c.colour) << c.name << ": " << render::Describe(pixel);
    }
}

TEST(ViewPicture, SideBySidePutsTheLeftEyeLeftEvenAfterTheScriptsAnaglyph)
{
    for (const RunPictures &pictures : {Pair(), ScriptAnaglyph()}) {
        std::string why;
        auto picture = tesselin::PictureFor(ViewMode::SideBySide, pictures, why);
        ASSERT_TRUE(picture);
        ASSERT_EQ(picture->width, 8);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 8; x++)
                ASSERT_EQ(picture->At(x, y), x < 4 ? Orange : Teal) << x << "," << y;
    }
}

TEST(ViewPicture, KeysAndNamesSelectEveryModeOnce)
{
    const ViewMode modes[] = {ViewMode::Window, ViewMode::Left, ViewMode::Right, ViewMode::Anaglyph,
                              ViewMode::SideBySide};
    const char keys[] = {'w', 'l', 'r', 'a', 's'};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(tesselin::ModeForKey(keys[i]), modes[i]);
        EXPECT_EQ(tesselin::ModeNamed(tesselin::ModeName(modes[i])), modes[i]);
    }
    // Keys with other meanings (save, export, quit, home) and unknown names select nothing.
    for (char key : {'p', 'e', 'q', '0', '\x1b', 'x'})
        EXPECT_FALSE(tesselin::ModeForKey(key)) << key;
    for (const char *name : {"", "Window", "side", "sidebyside"})
        EXPECT_FALSE(tesselin::ModeNamed(name)) << name;
}

TEST(Orbit, DragTurnsTheSceneWithTheMouseWithinItsLimits)
{
    struct Case {
        double azimuth, elevation;
        int dx, dy;
        double wantAzimuth, wantElevation;
    };
    const double k = tesselin::OrbitDegreesPerPixel;
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0},
        // Right: the camera goes towards -x, so the front of the scene moves right.
        {0, 0, 20, 0, -20 * k, 0},
        {0, 0, -20, 0, 20 * k, 0},
        // Down: the camera rises and shows the scene's top.
        {0, 0, 0, 30, 0, 30 * k},
        // Azimuth wraps to (-180, 180]; elevation stops at the poles.
        {170, 0, -40, 0, 170 + 40 * k - 360, 0},
        {-175, 0, 20, 0, 175, 0},
        {0, 80, 0, 100, 0, 90},
        {0, -80, 0, -100, 0, -90},
        {0, 0, 720, 0, 0, 0},
    };
    for (const Case &c : cases) {
        tesselin::Camera camera{c.azimuth, c.elevation, 7.5};
        auto turned = tesselin::Dragged(camera, c.dx, c.dy);
        EXPECT_NEAR(turned.azimuth, c.wantAzimuth, 1e-9) << c.azimuth << " " << c.dx;
        EXPECT_NEAR(turned.elevation, c.wantElevation, 1e-9) << c.elevation << " " << c.dy;
        EXPECT_GT(turned.azimuth, -180);
        EXPECT_LE(turned.azimuth, 180);
        EXPECT_EQ(turned.distance, 7.5) << "a drag keeps the distance";
    }
}

TEST(Orbit, WheelMovesNearerAndFartherFromTheScriptsDistance)
{
    tesselin::Camera start;
    auto nearer = tesselin::Wheeled(start, 2, 16);
    ASSERT_TRUE(nearer.distance);
    EXPECT_NEAR(*nearer.distance, 16 * tesselin::WheelFactor * tesselin::WheelFactor, 1e-12);
    auto back = tesselin::Wheeled(nearer, -2, 16);
    EXPECT_NEAR(*back.distance, 16, 1e-9);
    // Kept within a hundredth and a hundred times the script's distance.
    EXPECT_NEAR(*tesselin::Wheeled(start, 500, 16).distance, 0.16, 1e-12);
    EXPECT_NEAR(*tesselin::Wheeled(start, -500, 16).distance, 1600, 1e-9);
    // Without a known distance (no 3D view yet) the wheel does nothing.
    EXPECT_FALSE(tesselin::Wheeled(start, 3, 0).distance);
    // Angles stay.
    auto turned = tesselin::Wheeled(tesselin::Camera{30, -10, {}}, 1, 10);
    EXPECT_EQ(turned.azimuth, 30);
    EXPECT_EQ(turned.elevation, -10);
}

TEST(Orbit, CameraOptionsReadBackAsExactlyTheSameCamera)
{
    EXPECT_EQ(tesselin::CameraOptions({}), "");
    tesselin::Camera camera;
    for (int step = 0; step < 7; step++)
        camera = tesselin::Wheeled(tesselin::Dragged(camera, 13, -7), 1, 16);
    std::string options = tesselin::CameraOptions(camera);
    // "--orbit AZ,EL --distance D"
    auto orbitAt = options.find("--orbit "), distanceAt = options.find(" --distance ");
    ASSERT_EQ(orbitAt, 0u) << options;
    ASSERT_NE(distanceAt, std::string::npos) << options;
    std::string error;
    auto orbit = tesselin::ParseOrbit(options.substr(8, distanceAt - 8), error);
    auto distance = tesselin::ParseDistance(options.substr(distanceAt + 12), error);
    ASSERT_TRUE(orbit && distance) << options << ": " << error;
    EXPECT_EQ(orbit->azimuth, camera.azimuth);
    EXPECT_EQ(orbit->elevation, camera.elevation);
    EXPECT_EQ(*distance, *camera.distance);
    EXPECT_EQ(tesselin::CameraOptions({0, 0, 5}), "--distance 5");
}

TEST(FileWatch, NoticesEveryWayOfSavingAndNothingElse)
{
    std::string folder = render::ScratchDirectory();
    std::string path = folder + "/watched.tsl";
    std::ofstream(path) << "clear 1 0 0\n";
    std::string error;
    auto watch = tesselin::FileWatch::Start(path, error);
    ASSERT_TRUE(watch) << error;
    EXPECT_FALSE(watch->Changed(50));

    struct Case {
        const char *name;
        std::function<void()> act;
        bool noticed;
    };
    const Case cases[] = {
        {"written in place", [&] { std::ofstream(path) << "clear 0 1 0\n"; }, true},
        {"renamed over", [&] { window_test::SaveByRename(path, "clear 0 0 1\n"); }, true},
        {"another file in the folder", [&] { std::ofstream(folder + "/other.tsl") << "x\n"; }, false},
        {"read only", [&] { window_test::ReadText(path); }, false},
        {"removed and made anew",
         [&] {
             std::filesystem::remove(path);
             std::ofstream(path) << "clear 1 1 0\n";
         },
         true},
        {"appended to", [&] { std::ofstream(path, std::ios::app) << "finish\n"; }, true},
    };
    for (const Case &c : cases) {
        c.act();
        EXPECT_EQ(watch->Changed(200), c.noticed) << c.name;
        // Each save is noticed once.
        EXPECT_FALSE(watch->Changed(0)) << c.name;
    }
}

TEST(FileWatch, AFolderThatDoesNotExistIsAnError)
{
    std::string error;
    EXPECT_FALSE(tesselin::FileWatch::Start(render::ScratchDirectory() + "/no/such/folder/s.tsl", error));
    EXPECT_NE(error.find("no/such/folder"), std::string::npos) << error;
}

TEST(ViewArguments, OptionsAreReadAndFaultsNamed)
{
    struct Case {
        std::vector<std::string> argv;
        const char *fault; // a fragment of the message, or none for good arguments
    };
    const Case cases[] = {
        {{"s.tsl"}, nullptr},
        {{"s.tsl", "--screenshot", "a.png", "--reloads", "2", "--mode", "side-by-side"}, nullptr},
        {{"--screenshot=a.png", "s.tsl", "--turn=180,0", "--distance", "8"}, nullptr},
        {{"s.tsl", "--orbit", "30,-15"}, nullptr},
        {{}, "needs a script"},
        {{"s.tsl", "t.tsl"}, "unknown option t.tsl"},
        {{"s.tsl", "--screenshot"}, "--screenshot needs a value"},
        {{"s.tsl", "--reloads", "1"}, "only goes with --screenshot"},
        {{"s.tsl", "--turn", "1,2"}, "only goes with --screenshot"},
        {{"s.tsl", "--screenshot", "a.png", "--reloads", "-1"}, "count of 0 or more"},
        {{"s.tsl", "--screenshot", "a.png", "--reloads", "2x"}, "count of 0 or more"},
        {{"s.tsl", "--mode", "stereo"}, "--mode is window"},
        {{"s.tsl", "--orbit", "30"}, ""},
        {{"s.tsl", "--distance", "-3"}, ""},
        {{"s.tsl", "--frames", "x"}, "unknown option --frames"},
    };
    for (const Case &c : cases) {
        std::string error;
        auto arguments = tesselin::ParseViewArguments(c.argv, error);
        std::string shown = c.argv.empty() ? "(none)" : c.argv[0] + " ...";
        EXPECT_EQ(arguments.has_value(), c.fault == nullptr) << shown << ": " << error;
        if (c.fault) {
            EXPECT_NE(error.find(c.fault), std::string::npos) << shown << ": " << error;
        }
    }
    std::string error;
    auto arguments = tesselin::ParseViewArguments(
        {"--screenshot=a.png", "s.tsl", "--turn=180,5", "--distance", "8", "--reloads=3"}, error);
    ASSERT_TRUE(arguments) << error;
    EXPECT_EQ(arguments->script, "s.tsl");
    EXPECT_EQ(arguments->screenshot, "a.png");
    EXPECT_EQ(arguments->reloads, 3);
    ASSERT_TRUE(arguments->turn);
    EXPECT_EQ(arguments->turn->azimuth, 180);
    EXPECT_EQ(arguments->turn->elevation, 5);
    // The turn keeps the distance the view starts with.
    EXPECT_EQ(arguments->turn->distance, 8);
    EXPECT_EQ(arguments->camera.azimuth, 0);
}

TEST(ViewArguments, OutputOptionsReadAsTesselinRunReadsThem)
{
    using tesselin::AnaglyphMethod;
    struct Case {
        std::vector<std::string> argv;
        const char *fault; // a fragment of the message, or none for good arguments
        int samples = 1;
        AnaglyphMethod anaglyph = AnaglyphMethod::Script;
        bool swapEyes = false;
    };
    const Case cases[] = {
        {{"s.tsl"}, nullptr},
        {{"s.tsl", "--samples", "4"}, nullptr, 4},
        {{"s.tsl", "--samples=64"}, nullptr, 64},
        {{"s.tsl", "--samples", "1"}, nullptr, 1},
        {{"s.tsl", "--anaglyph", "color"}, nullptr, 1, AnaglyphMethod::Color},
        {{"s.tsl", "--anaglyph=amber-blue", "--swap-eyes"}, nullptr, 1, AnaglyphMethod::AmberBlue, true},
        {{"--swap-eyes", "s.tsl"}, nullptr, 1, AnaglyphMethod::Script, true},
        {{"s.tsl", "--anaglyph", "script", "--samples", "2"}, nullptr, 2},
        {{"s.tsl", "--samples", "0"}, "--samples takes a whole number from 1 to 64, not 0"},
        {{"s.tsl", "--samples", "65"}, "--samples takes a whole number from 1 to 64, not 65"},
        {{"s.tsl", "--samples", "4x"}, "not 4x"},
        {{"s.tsl", "--samples", "-2"}, "not -2"},
        {{"s.tsl", "--samples"}, "--samples needs a value"},
        {{"s.tsl", "--samples="}, "--samples needs a value"},
        {{"s.tsl", "--anaglyph", "red"}, "--anaglyph takes one of"},
        {{"s.tsl", "--anaglyph", "Color"}, "not Color"},
        {{"s.tsl", "--anaglyph"}, "--anaglyph needs a value"},
        {{"s.tsl", "--swap-eyes=yes"}, "unknown option --swap-eyes"},
        {{"s.tsl", "--layout", "parallel"}, "unknown option --layout"},
    };
    for (const Case &c : cases) {
        std::string error;
        auto arguments = tesselin::ParseViewArguments(c.argv, error);
        std::string shown = c.argv.size() < 2 ? c.argv[0] : c.argv[1] + " " + c.argv.back();
        ASSERT_EQ(arguments.has_value(), c.fault == nullptr) << shown << ": " << error;
        if (c.fault) {
            EXPECT_NE(error.find(c.fault), std::string::npos) << shown << ": " << error;
            continue;
        }
        EXPECT_EQ(arguments->script, "s.tsl") << shown;
        EXPECT_EQ(arguments->samples, c.samples) << shown;
        EXPECT_EQ(arguments->look.anaglyph, c.anaglyph) << shown;
        EXPECT_EQ(arguments->look.swapEyes, c.swapEyes) << shown;
        EXPECT_FALSE(arguments->look.layout) << shown;
    }
    // The same values are refused with the same words by tesselin run.
    for (const char *refused : {"--samples=0", "--anaglyph=red"}) {
        std::string error;
        EXPECT_FALSE(tesselin::ParseViewArguments({"s.tsl", refused}, error));
        auto run = render::RunTesselin({"run", "s.tsl", refused});
        EXPECT_EQ(run.status, 2) << refused;
        EXPECT_NE(run.err.find(error), std::string::npos) << refused << ": " << run.err << " / " << error;
    }
}

// Where no display can be reached: none named, or one named that is not there.
const std::vector<std::vector<std::string>> NoDisplay = {
    {"DISPLAY", "WAYLAND_DISPLAY"},
    {"WAYLAND_DISPLAY", "DISPLAY=:7919"},
};

TEST(WithoutDisplay, ViewSaysSoAndExitsTwo)
{
    std::string script = render::ScratchDirectory() + "/s.tsl";
    std::ofstream(script) << "canvas 40 30 persp 30 1 100 10\nclear 1 0 0\nfinish\n";
    for (const auto &environment : NoDisplay) {
        std::vector<std::string> unset, set;
        for (const std::string &entry : environment)
            (entry.find('=') == std::string::npos ? unset : set).push_back(entry);
        auto started = window_test::Start({"view", script}, {}, unset, set);
        EXPECT_EQ(window_test::Wait(started, 60), 2) << environment.back();
        std::string err = window_test::ReadText(started.errPath);
        EXPECT_NE(err.find("display"), std::string::npos) << err;
    }
}

TEST(WithoutDisplay, CommandWindowStaysHeadlessWithoutComplaint)
{
    std::string out = render::ScratchDirectory() + "/typed.png";
    std::string typed = "canvas 40 30 persp 30 1 100 10\nclear 0 0 1\nfinish\n.save " + out + "\n";
    for (const auto &environment : NoDisplay) {
        std::vector<std::string> unset, set;
        for (const std::string &entry : environment)
            (entry.find('=') == std::string::npos ? unset : set).push_back(entry);
        std::filesystem::remove(out);
        auto started = window_test::Start({}, typed, unset, set);
        EXPECT_EQ(window_test::Wait(started, 60), 0);
        EXPECT_EQ(window_test::ReadText(started.errPath), "Saved " + out + "\n");
        auto image = render::LoadPng(out);
        ASSERT_TRUE(image);
        EXPECT_EQ(render::CountNear(*image, render::Rgb(0, 0, 255), 2), 40 * 30);
    }
}

} // namespace

namespace {

TEST(ViewCommandLine, FaultsEndWithStatusTwoAndHelpWithZero)
{
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *fragment; // in standard error, or standard output for help
    };
    const Case cases[] = {
        {{"view", "--help"}, 0, "Keys:"},
        {{"view"}, 2, "view needs a script"},
        {{"view", render::ScratchDirectory() + "/none.tsl"}, 2, "cannot read the script"},
        {{"view", "x.tsl", "--mode", "3d"}, 2, "--mode is window"},
        {{"--help"}, 0, "tesselin view SCRIPT"},
    };
    for (const Case &c : cases) {
        auto result = render::RunTesselin(c.args);
        EXPECT_EQ(result.status, c.status) << c.args.back();
        std::string said = c.status == 0 ? result.out : result.err;
        EXPECT_NE(said.find(c.fragment), std::string::npos) << c.args.back() << ": " << said;
    }
}

} // namespace
