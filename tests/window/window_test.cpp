// The live window on a display (Xvfb in CI): what it shows equals what
// tesselin run writes, it follows the script file, and it turns the scene.
// Every test here needs a display and fails without one.
#include "tests/render/render_harness.h"
#include "tests/window/program_run.h"
#include "tests/shared/spawn.h"
#include "tests/shared/text_files.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

using render::Image;

std::string Example(const char *name) { return std::string(TESSELIN_SOURCE_DIR) + "/examples/" + name; }

std::string Scratch(const std::string &name) { return render::ScratchDirectory() + "/" + name; }

std::string WriteScript(const std::string &name, const std::string &text)
{
    return WriteFile(Scratch(name), text);
}

// Runs tesselin view to its end; the exit status, -1 if it had to be stopped.
int View(const std::vector<std::string> &args, std::string *err = nullptr)
{
    std::vector<std::string> argv = {"view"};
    argv.insert(argv.end(), args.begin(), args.end());
    auto started = window_test::Start(argv);
    int status = window_test::Wait(started, 90);
    if (err)
        *err = window_test::ReadText(started.errPath);
    return status;
}

// What tesselin run writes with these options.
Image Written(const std::string &script, std::vector<std::string> options, const std::string &out)
{
    std::vector<std::string> argv = {"run", script};
    argv.insert(argv.end(), options.begin(), options.end());
    auto result = render::RunTesselin(argv);
    EXPECT_EQ(result.status, 0) << result.err;
    auto image = render::LoadPng(out);
    EXPECT_TRUE(image) << out;
    return image ? *image : Image();
}

// Pixels that differ by more than tolerance in some channel.
long Differing(const Image &a, const Image &b, int tolerance = 0)
{
    if (a.width != b.width || a.height != b.height)
        return long(a.pixels.size() + b.pixels.size());
    long count = 0;
    for (std::size_t i = 0; i < a.pixels.size(); i++)
        count += !render::Near(a.pixels[i], b.pixels[i], tolerance);
    return count;
}

Image Load(const std::string &path)
{
    auto image = render::LoadPng(path);
    EXPECT_TRUE(image) << path << " was not written";
    return image ? *image : Image();
}

TEST(Window, ADisplayIsThere)
{
    const char *display = std::getenv("DISPLAY");
    ASSERT_TRUE(display && *display) << "the window tests need a display (run them under xvfb-run)";
}

TEST(Window, ScreenshotShowsExactlyWhatRunWrites)
{
    struct Case {
        const char *script;
        const char *mode;       // the view's mode
        const char *runOption;  // the option of run that writes the same picture
    };
    const Case cases[] = {
        {"demo.tsl", "window", "-o"},
        {"stereo_ring.tsl", "window", "-o"}, // the script's own anaglyph
        {"stereo_ring.tsl", "right", "--right"},
        {"stereo_ring.tsl", "side-by-side", "--side-by-side"},
    };
    for (const Case &c : cases) {
        std::string name = std::string(c.script) + "-" + c.mode;
        std::string shot = Scratch(name + "-view.png"), out = Scratch(name + "-run.png");
        std::string err;
        ASSERT_EQ(View({Example(c.script), "--mode", c.mode, "--screenshot", shot}, &err), 0) << name << ": " << err;
        Image shown = Load(shot);
        Image written = Written(Example(c.script), {c.runOption, out}, out);
        ASSERT_FALSE(written.Empty()) << name;
        EXPECT_EQ(shown.width, written.width) << name;
        EXPECT_EQ(shown.height, written.height) << name;
        EXPECT_EQ(Differing(shown, written), 0) << name;
    }
}

TEST(Window, TheAnaglyphKeyShowsRedCyanForAPairWithoutOne)
{
    // A white ball on black in front of the zero-parallax plane: the eyes see
    // it apart, so red and cyan fringes appear on opposite sides.
    std::string script = WriteScript("pair.tsl", "canvas 200 150 0 persp 30 1 100 10 1 0\n"
                                                 "clear 0 0 0\nlight 0 0 1\ndiffuse 1 1 1\n"
                                                 "move 0 0 3\nscale 0.8 0.8 0.8\nsphere 16 24 smooth\nfinish\n");
    std::string shot = Scratch("pair-anaglyph.png");
    std::string err;
    ASSERT_EQ(View({script, "--mode", "anaglyph", "--screenshot", shot}, &err), 0) << err;
    Image shown = Load(shot);
    auto red = render::FindNear(shown, render::Rgb(255, 0, 0), 80);
    auto cyan = render::FindNear(shown, render::Rgb(0, 255, 255), 80);
    ASSERT_GT(red.count, 20);
    ASSERT_GT(cyan.count, 20);
    // Crossed disparity: the left eye's picture lies to the right.
    EXPECT_GT(red.x, cyan.x);
}

TEST(Window, ASavedChangeShowsInTheNextPicture)
{
    std::string script = WriteScript("watched.tsl", "canvas 160 120 persp 30 1 100 10\nclear 1 0 0\nfinish\n");
    std::string shot = Scratch("watched.png");
    auto started = window_test::Start({"view", script, "--screenshot", shot, "--reloads", "1"});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    std::string changed = "canvas 160 120 persp 30 1 100 10\nclear 0 0 1\nlight 0 0 1\ndiffuse 1 1 0\n"
                          "sphere 12 16 smooth\nfinish\n";
    window_test::SaveByRename(script, changed);
    ASSERT_EQ(window_test::Wait(started, 60), 0) << window_test::ReadText(started.errPath);
    Image shown = Load(shot);
    std::string out = Scratch("changed-run.png");
    Image written = Written(script, {"-o", out}, out);
    EXPECT_EQ(Differing(shown, written), 0);
    EXPECT_EQ(render::CountNear(shown, render::Rgb(255, 0, 0), 2), 0) << "the first picture is still shown";
}

TEST(Window, AFailedRunKeepsTheLastGoodPictureAndSaysWhy)
{
    std::string good = "canvas 160 120 persp 30 1 100 10\nclear 0 1 0\nfinish\n";
    std::string script = WriteScript("broken.tsl", good);
    std::string shot = Scratch("broken.png");
    auto started = window_test::Start({"view", script, "--screenshot", shot, "--reloads", "1"});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    window_test::SaveByRename(script, "canvas 160 120 persp 30 1 100 10\nclear 1 0 0\nnonsense 1 2\nfinish\n");
    // The run failed: exit status 1, and the message names the line.
    EXPECT_EQ(window_test::Wait(started, 60), 1);
    std::string err = window_test::ReadText(started.errPath);
    EXPECT_NE(err.find(script + ":3: Error! "), std::string::npos) << err;
    Image shown = Load(shot);
    EXPECT_EQ(render::CountNear(shown, render::Rgb(0, 255, 0), 2), 160 * 120) << "the good picture stays";
}

TEST(Window, ATurnedViewEqualsRunWithTheSameOrbit)
{
    struct Case {
        const char *script;
        const char *angles;
    };
    const Case cases[] = {{"demo.tsl", "35,20"}, {"demo.tsl", "-120,-30"}, {"stereo_ring.tsl", "25,40"}};
    for (const Case &c : cases) {
        std::string name = std::string(c.script) + "@" + c.angles;
        std::string shot = Scratch(name + "-view.png"), out = Scratch(name + "-run.png"),
                    straight = Scratch(name + "-straight.png");
        std::string err;
        ASSERT_EQ(View({Example(c.script), "--screenshot", shot, "--turn", c.angles}, &err), 0) << name << err;
        Image turned = Load(shot);
        EXPECT_EQ(Differing(turned, Written(Example(c.script), {"--orbit", c.angles, "-o", out}, out)), 0) << name;
        // And the turn did turn the scene.
        EXPECT_GT(Differing(turned, Written(Example(c.script), {"-o", straight}, straight), 8), 1000) << name;
    }
}

TEST(Window, TurnedHalfwayRoundTheSceneIsSeenFromBehind)
{
    // A red ball on the left at x = -2 and a green one at the origin.
    std::string script = WriteScript("behind.tsl", "canvas 300 200 persp 30 1 100 12\nclear 1 1 1\nlight 0 0 1\n"
                                                   "ambient 1 1 1\ndiffuse 1 0 0\npush\nmove -2 0 0\n"
                                                   "sphere 12 16 smooth\npop\ndiffuse 0 1 0\n"
                                                   "sphere 12 16 smooth\nfinish\n");
    auto redX = [](const Image &image) { return render::FindNear(image, render::Rgb(255, 0, 0), 90).x; };
    auto greenX = [](const Image &image) { return render::FindNear(image, render::Rgb(0, 255, 0), 90).x; };
    std::string front = Scratch("front.png"), behind = Scratch("behind-view.png"), out = Scratch("behind-run.png");
    ASSERT_EQ(View({script, "--screenshot", front}), 0);
    ASSERT_EQ(View({script, "--screenshot", behind, "--turn", "180,0"}), 0);
    Image seenFront = Load(front), seenBehind = Load(behind);
    Image runBehind = Written(script, {"--orbit", "180,0", "-o", out}, out);
    EXPECT_LT(redX(seenFront), 150);
    EXPECT_GT(redX(seenBehind), 150);
    EXPECT_GT(redX(runBehind), 150);
    EXPECT_NEAR(greenX(seenBehind), 150, 2);
    // Mirrored about the middle.
    EXPECT_NEAR(redX(seenBehind) - 150, 150 - redX(seenFront), 2);
}

// Runs xdotool (the mouse and keyboard of the display) with the words of
// arguments, its standard output into the file out when there is one.
void Xdotool(const std::string &arguments, const std::string &out = {})
{
    std::vector<std::string> command = {"xdotool"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;)
        command.push_back(word);
    tests::Streams streams;
    streams.out = out;
    ASSERT_EQ(tests::RunChild(command, streams), 0) << "xdotool " << arguments << ": xdotool is needed";
}

// The program's window, once it is on the screen.
std::string WindowOf(const window_test::Started &started)
{
    std::string path = Scratch("window-id.txt");
    Xdotool("search --sync --onlyvisible --pid " + std::to_string(started.pid), path);
    std::string id = window_test::ReadText(path);
    return id.substr(0, id.find('\n'));
}

TEST(Window, DraggingAndTheWheelTurnTheSceneAndTheSavedPictureSaysHow)
{
    std::string script = WriteScript("turned.tsl", "canvas 300 200 persp 30 1 100 12\nclear 1 1 1\nlight 0 0 1\n"
                                                   "diffuse 1 0 0\npush\nmove -2 0 0\nsphere 12 16 smooth\npop\n"
                                                   "diffuse 0 1 0\ncube\nfinish\n");
    auto started = window_test::Start({"view", script});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    // Once the window is on the screen, the mouse goes to its middle.
    // The pause lets the window take the pointer before the button goes down;
    // without it a busy machine can lose the start of the drag.
    Xdotool("mousemove --window " + WindowOf(started) + " 150 100 sleep 0.3 mousedown 1");
    for (int step = 0; step < 5; step++)
        Xdotool("mousemove_relative -- 8 3 sleep 0.05");
    Xdotool("mouseup 1 sleep 0.3 click 4 sleep 0.5 key p");
    ASSERT_TRUE(window_test::WaitForMessage(started, "Saved turned-view-1.png", 60))
        << window_test::ReadText(started.errPath);
    Xdotool("key q");
    EXPECT_EQ(window_test::Wait(started, 60), 0);
    // "Saved turned-view-1.png (the camera: --orbit AZ,EL --distance D)"
    std::string err = window_test::ReadText(started.errPath);
    auto from = err.find("(the camera: ");
    ASSERT_NE(from, std::string::npos) << err;
    from += 13;
    std::string options = err.substr(from, err.find(')', from) - from);
    std::istringstream words(options);
    std::string orbitWord, angles, distanceWord, distance;
    words >> orbitWord >> angles >> distanceWord >> distance;
    ASSERT_EQ(orbitWord, "--orbit") << options;
    ASSERT_EQ(distanceWord, "--distance") << options;
    // Right turns the front right (the camera to -x), down raises the camera,
    // the wheel away from the person brings it nearer.
    double azimuth = std::stod(angles), elevation = std::stod(angles.substr(angles.find(',') + 1));
    EXPECT_LT(azimuth, -5) << options;
    EXPECT_GT(elevation, 2) << options;
    EXPECT_LT(std::stod(distance), 12) << options;
    Image saved = Load(Scratch("turned-view-1.png"));
    std::string out = Scratch("turned-run.png");
    EXPECT_EQ(Differing(saved, Written(script, {"--orbit", angles, "--distance", distance, "-o", out}, out)), 0);
}

// The title of the program's window.
std::string Title(const window_test::Started &started)
{
    std::string path = Scratch("title.txt");
    Xdotool("getwindowname " + WindowOf(started), path);
    return window_test::ReadText(path);
}

TEST(Window, TheTitleSaysWhatFailedUntilTheScriptIsMended)
{
    // An error from the start: there is no picture, but the window shows why.
    std::string script = WriteScript("mended.tsl", "canvas 120 90 persp 30 1 100 10\nclear 0 0 1\nbogus\nfinish\n");
    auto started = window_test::Start({"view", script});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    std::string title = Title(started);
    EXPECT_NE(title.find("mended.tsl:3: Error! "), std::string::npos) << title;
    window_test::SaveByRename(script, "canvas 120 90 persp 30 1 100 10\nclear 0 0 1\nfinish\n");
    // The mended script's picture and a title without the error. Polled
    // until the title is that of a finished run (on a busy machine the run
    // shows its progress there first), with a deadline that a busy machine
    // does not reach.
    bool mended = false;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         !mended && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        title = Title(started);
        mended = title.find("mended.tsl - Tesselin (window)") != std::string::npos;
    }
    EXPECT_TRUE(mended) << title;
    EXPECT_EQ(title.find("Error!"), std::string::npos) << title;
    Xdotool("key q");
    EXPECT_EQ(window_test::Wait(started, 60), 0) << "the last run went well";
}

// The X screen's pixels, as a program outside ours sees them.
Image Screen()
{
    std::string path = Scratch("screen.png");
    tests::Streams quiet;
    quiet.err = "/dev/null";
    EXPECT_EQ(tests::RunChild({"import", "-window", "root", path}, quiet), 0) << "ImageMagick's import is needed";
    return Load(path);
}

// The command window reading what a test types into a named pipe.
struct TypedCommandWindow {
    window_test::Started started;
    int typing = -1;

    // tesselin with args, with "NAME=value" in environment put in its environment.
    explicit TypedCommandWindow(const std::vector<std::string> &args = {},
                                const std::vector<std::string> &environment = {})
    {
        std::string fifo = Scratch("typed");
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        started = window_test::StartReading(args, fifo, environment);
        typing = open(fifo.c_str(), O_WRONLY);
        EXPECT_GE(typing, 0);
    }
    void Type(const std::string &lines) const
    {
        ASSERT_EQ(write(typing, lines.data(), lines.size()), ssize_t(lines.size()));
    }
    int End()
    {
        close(std::exchange(typing, -1));
        return window_test::Wait(started, 60);
    }
    std::string Err() const { return window_test::ReadText(started.errPath); }
};

using Clock = std::chrono::steady_clock;

// Polls done until it holds or seconds pass: how long it took, or none.
template <typename Done>
std::optional<std::chrono::milliseconds> Within(double seconds, Done done)
{
    auto start = Clock::now();
    auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < deadline) {
        if (done())
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

TEST(Window, TheCommandWindowShowsEachCommandsEffect)
{
    TypedCommandWindow prompt;
    auto shows = [&](uint32_t colour, long count) {
        return Within(60, [&] { return render::CountNear(Screen(), colour, 2) == count; }).has_value();
    };
    prompt.Type("canvas 210 130 persp 30 1 100 10\nclear 1 0 0\nfinish\n");
    EXPECT_TRUE(shows(render::Rgb(255, 0, 0), 210 * 130));
    prompt.Type("clear 0 0 1\nfinish\n");
    EXPECT_TRUE(shows(render::Rgb(0, 0, 255), 210 * 130));
    EXPECT_EQ(prompt.End(), 0) << prompt.Err();
}

// Drags in the program's window 40 pixels right and 15 down: 20 degrees of
// azimuth towards -x, 7.5 up. The pause lets the window take the pointer
// before the button goes down; without it a busy machine can lose the start
// of the drag.
void DragTwentyDegrees(const window_test::Started &started)
{
    Xdotool("mousemove --window " + WindowOf(started) + " 150 100 sleep 0.3 mousedown 1");
    for (int step = 0; step < 5; step++)
        Xdotool("mousemove_relative -- 8 3 sleep 0.05");
    Xdotool("mouseup 1 sleep 0.3");
}

// The scene the command window's drags turn: a red sphere and a green cube on white.
const std::string TurnedScene = "canvas 300 200 persp 30 1 100 12\nclear 1 1 1\nlight 0 0 1\ndiffuse 1 0 0\npush\n"
                                "move -2 0 0\nsphere 12 16 smooth\npop\ndiffuse 0 1 0\ncube\nfinish\n";

TEST(Window, DraggingInTheCommandWindowsCanvasTurnsTheLastFrame)
{
    TypedCommandWindow prompt;
    prompt.Type(TurnedScene + ".save " + Scratch("before.png") + "\n");
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Saved", 60)) << prompt.Err();
    DragTwentyDegrees(prompt.started);
    prompt.Type(".save " + Scratch("after.png") + "\n");
    EXPECT_EQ(prompt.End(), 0) << prompt.Err();
    std::string script = WriteScript("scene.tsl", TurnedScene), out = Scratch("run.png");
    Image before = Load(Scratch("before.png")), after = Load(Scratch("after.png"));
    EXPECT_GT(Differing(before, after, 8), 500) << "the drag turned nothing";
    EXPECT_EQ(Differing(after, Written(script, {"--orbit", "-20,7.5", "-o", out}, out)), 0);
}

// A script of many slow lines (each a torus of 90 000 facets) over red:
// a run long enough to act on while it goes.
std::string SlowScript(const std::string &name, int tori = 400)
{
    std::string text = "canvas 160 120 persp 30 1 100 12\nclear 1 0 0\nlight 0 0 1\ndiffuse 1 1 1\n";
    for (int i = 0; i < tori; i++)
        text += "torus 2 0 360 300 x 360 300 x\n";
    return WriteScript(name, text + "finish\n");
}

// Waits until the window's title contains fragment; the last title seen.
std::string TitleWith(const window_test::Started &started, const std::string &fragment, double seconds = 60)
{
    std::string title;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        title = Title(started);
        if (title.find(fragment) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return title;
}

// Types keys into the program's window (the pointer in it gives it the keyboard).
void Keys(const window_test::Started &started, const std::string &keys)
{
    Xdotool("mousemove --window " + WindowOf(started) + " 5 5 key " + keys);
}

// "running: line N of M" read from a title: N and M, or none.
std::optional<std::pair<int, int>> Progress(const std::string &title)
{
    int line = 0, lines = 0;
    auto at = title.find("running: line ");
    if (at == std::string::npos || std::sscanf(title.c_str() + at, "running: line %d of %d", &line, &lines) != 2)
        return std::nullopt;
    return std::pair(line, lines);
}

int Count(const std::string &text, const std::string &fragment)
{
    int count = 0;
    for (auto at = text.find(fragment); at != std::string::npos; at = text.find(fragment, at + 1))
        count++;
    return count;
}

TEST(Window, TheTitleShowsProgressAndQuitEndsALongRunAtOnce)
{
    std::string script = SlowScript("long.tsl");
    auto started = window_test::Start({"view", script});
    std::string title = TitleWith(started, "running: line ");
    auto first = Progress(title);
    ASSERT_TRUE(first) << title;
    EXPECT_EQ(first->second, 405) << title;
    EXPECT_GE(first->first, 1) << title;
    // The count goes on while the window waits.
    auto later = Progress(TitleWith(started, "running: line "));
    for (int attempt = 0; attempt < 500 && later && later->first <= first->first; attempt++)
        later = Progress(TitleWith(started, "running: line "));
    ASSERT_TRUE(later);
    EXPECT_GT(later->first, first->first);
    EXPECT_LT(later->first, 405) << "the run was meant to be long";
    std::string window = WindowOf(started);
    Xdotool("mousemove --window " + window + " 5 5");
    auto pressed = std::chrono::steady_clock::now();
    Xdotool("key q");
    EXPECT_EQ(window_test::Wait(started, 30), 1) << "the run never finished";
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(500));
}

TEST(Window, EscStopsARunKeepsTheLastPictureAndSaysWhere)
{
    std::string script = WriteScript("stopped.tsl", "canvas 160 120 persp 30 1 100 10\nclear 0 1 0\nfinish\n");
    auto started = window_test::Start({"view", script});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    std::string slow = window_test::ReadText(SlowScript("slow-version.tsl"));
    window_test::SaveByRename(script, slow);
    ASSERT_TRUE(Progress(TitleWith(started, "running: line ")));
    Keys(started, "Escape");
    std::string title = TitleWith(started, "stopped at line ");
    int line = 0, lines = 0;
    auto at = title.find("stopped at line ");
    ASSERT_NE(at, std::string::npos) << title;
    ASSERT_EQ(std::sscanf(title.c_str() + at, "stopped at line %d of %d", &line, &lines), 2) << title;
    EXPECT_EQ(lines, 405);
    EXPECT_LT(line, 405);
    EXPECT_TRUE(window_test::WaitForMessage(started, "the run stopped at line", 10));
    // The window still answers, and shows the green picture of the run before.
    Keys(started, "p");
    ASSERT_TRUE(window_test::WaitForMessage(started, "Saved stopped-view-1.png", 60))
        << window_test::ReadText(started.errPath);
    EXPECT_EQ(render::CountNear(Load(Scratch("stopped-view-1.png")), render::Rgb(0, 255, 0), 2), 160 * 120);
    Keys(started, "q");
    EXPECT_EQ(window_test::Wait(started, 30), 1) << "the last run did not finish";
}

TEST(Window, ASaveDuringALongRunShowsTheNewVersionAndNeverTheOld)
{
    std::string script = SlowScript("replaced.tsl");
    auto started = window_test::Start({"view", script}, {}, {}, {"TESSELIN_VIEW_TRACE=1"});
    ASSERT_TRUE(Progress(TitleWith(started, "running: line ")));
    std::string quick = "canvas 160 120 persp 30 1 100 12\nclear 0 0 1\nlight 0 0 1\ndiffuse 1 1 0\n"
                        "sphere 12 16 smooth\nfinish\n";
    window_test::SaveByRename(script, quick);
    ASSERT_TRUE(window_test::WaitForMessage(started, "Ran the script", 60)) << window_test::ReadText(started.errPath);
    Keys(started, "p");
    ASSERT_TRUE(window_test::WaitForMessage(started, "Saved replaced-view-1.png", 60));
    Keys(started, "q");
    EXPECT_EQ(window_test::Wait(started, 30), 0);
    // Only the new version ever finished, and the window showed it.
    EXPECT_EQ(Count(window_test::ReadText(started.errPath), "Ran the script"), 1)
        << window_test::ReadText(started.errPath);
    std::string out = Scratch("replaced-run.png");
    Image shown = Load(Scratch("replaced-view-1.png"));
    EXPECT_EQ(Differing(shown, Written(script, {"-o", out}, out)), 0);
    EXPECT_EQ(render::CountNear(shown, render::Rgb(255, 0, 0), 2), 0);
}

TEST(Window, AModuleThatCrashesLeavesTheWindowUpWithTheMessage)
{
    std::string good = "canvas 160 120 persp 30 1 100 10\nclear 0 1 0\nfinish\n";
    std::string script = WriteScript("crashing.tsl", good);
    auto started = window_test::Start({"view", script, "--module", CRASHING_MODULE});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    window_test::SaveByRename(script, "canvas 160 120 persp 30 1 100 10\nclear 1 0 0\ncrash 11\nfinish\n");
    std::string message = "the run ended with signal 11 at line 3 of 4";
    ASSERT_TRUE(window_test::WaitForMessage(started, message, 60)) << window_test::ReadText(started.errPath);
    EXPECT_NE(TitleWith(started, message).find(message), std::string::npos);
    Keys(started, "p");
    ASSERT_TRUE(window_test::WaitForMessage(started, "Saved crashing-view-1.png", 60));
    EXPECT_EQ(render::CountNear(Load(Scratch("crashing-view-1.png")), render::Rgb(0, 255, 0), 2), 160 * 120)
        << "the last good picture stays";
    // Mended, the script runs again in a new process.
    window_test::SaveByRename(script, "canvas 160 120 persp 30 1 100 10\nclear 0 0 1\nfinish\n");
    EXPECT_NE(TitleWith(started, "crashing.tsl - Tesselin (window)").find("Tesselin (window)"), std::string::npos);
    Keys(started, "q");
    EXPECT_EQ(window_test::Wait(started, 30), 0) << window_test::ReadText(started.errPath);
}

TEST(Window, ZeroTurnsTheCameraBackToWhereItStarted)
{
    std::string script = WriteScript("reset.tsl", "canvas 300 200 persp 30 1 100 12\nclear 1 1 1\nlight 0 0 1\n"
                                                  "diffuse 1 0 0\npush\nmove -2 0 0\nsphere 12 16 smooth\npop\n"
                                                  "diffuse 0 1 0\ncube\nfinish\n");
    auto started = window_test::Start({"view", script, "--orbit", "30,10"});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    Xdotool("mousemove --window " + WindowOf(started) + " 150 100 sleep 0.3 mousedown 1");
    for (int step = 0; step < 5; step++)
        Xdotool("mousemove_relative -- 8 3 sleep 0.05");
    Xdotool("mouseup 1 sleep 0.3 click 4");
    EXPECT_NE(TitleWith(started, "--distance").find("--distance"), std::string::npos) << "the wheel did nothing";
    Keys(started, "p 0 p");
    ASSERT_TRUE(window_test::WaitForMessage(started, "Saved reset-view-2.png", 60));
    Keys(started, "q");
    EXPECT_EQ(window_test::Wait(started, 30), 0);
    std::string err = window_test::ReadText(started.errPath);
    EXPECT_NE(err.find("Saved reset-view-2.png (the camera: --orbit 30,10)"), std::string::npos) << err;
    std::string out = Scratch("reset-run.png");
    Image written = Written(script, {"--orbit", "30,10", "-o", out}, out);
    EXPECT_EQ(Differing(Load(Scratch("reset-view-2.png")), written), 0);
    EXPECT_GT(Differing(Load(Scratch("reset-view-1.png")), written, 8), 500) << "the drag turned nothing";
}

TEST(Window, ABurstOfDragsOnAHeavySceneGivesAtMostTwoRedraws)
{
    std::string script = WriteScript("heavy.tsl", "canvas 300 200 persp 30 1 100 10\nclear 0.1 0.1 0.15\n"
                                                  "light -1 1 1\ndiffuse 0.8 0.5 0.3\nrotate 50 1 0 0\n"
                                                  "torus 2 0 360 500 x 360 1000 x\nfinish\n");
    auto started = window_test::Start({"view", script}, {}, {}, {"TESSELIN_VIEW_TRACE=1"});
    ASSERT_TRUE(window_test::WaitForMessage(started, "Watching", 60)) << window_test::ReadText(started.errPath);
    std::string drags;
    for (int step = 0; step < 30; step++)
        drags += " mousemove_relative -- 2 1";
    Xdotool("mousemove --window " + WindowOf(started) + " 150 100 sleep 0.3 mousedown 1" + drags + " mouseup 1");
    Keys(started, "p");
    ASSERT_TRUE(window_test::WaitForMessage(started, "Saved heavy-view-1.png", 60));
    Keys(started, "q");
    EXPECT_EQ(window_test::Wait(started, 30), 0);
    std::string err = window_test::ReadText(started.errPath);
    int redraws = Count(err, "Redrawn for the camera");
    EXPECT_GE(redraws, 1) << err;
    EXPECT_LE(redraws, 2) << err;
    EXPECT_EQ(Count(err, "Ran the script"), 1) << "a turn ran the script again: " << err;
    // The last redraw is for the camera after all 30 moves: 60 pixels right, 30 down.
    EXPECT_NE(err.find("Saved heavy-view-1.png (the camera: --orbit -30,15)"), std::string::npos) << err;
}

// One command of a 9 000 000-facet torus: several seconds, long enough to act
// on the window after the note that it is still running.
const std::string LongCommand = "torus 2 0 360 3000 x 360 3000 x\nfinish\n";

TEST(Window, TheCommandWindowsCanvasRepaintsAndHidesWhileACommandRuns)
{
    TypedCommandWindow prompt;
    const uint32_t red = render::Rgb(255, 0, 0);
    const long all = 210 * 130;
    auto redOnScreen = [&] { return render::CountNear(Screen(), red, 2); };
    prompt.Type("canvas 210 130 persp 30 1 100 12\nclear 1 0 0\nfinish\nlight 0 0 1\ndiffuse 1 1 1\n");
    ASSERT_TRUE(Within(60, [&] { return redOnScreen() == all; })) << prompt.Err();
    std::string window = WindowOf(prompt.started);

    // Shrunk and grown back during the command, the window paints its
    // picture again (the old one: the new frame is not finished yet).
    prompt.Type(LongCommand + ".save " + Scratch("after.png") + "\n");
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "still running", 60)) << prompt.Err();
    Xdotool("windowsize " + window + " 100 60 windowsize " + window + " 210 130");
    auto repainted = Within(2, [&] { return redOnScreen() == all; });
    EXPECT_TRUE(repainted) << "the window did not repaint while the command ran";
    EXPECT_EQ(prompt.Err().find("Saved"), std::string::npos) << "the command was too short to tell";
    // After the command the window shows the new frame.
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Saved", 120)) << prompt.Err();
    long newRed = render::CountNear(Load(Scratch("after.png")), red, 2);
    EXPECT_LT(newRed, all - 1000) << "the torus covers part of the red";
    EXPECT_TRUE(Within(10, [&] { return redOnScreen() == newRed; })) << "the window kept the old picture";

    // Esc during the next command hides the window at once, and the
    // frame the command finishes leaves it hidden.
    prompt.Type(LongCommand + ".save " + Scratch("again.png") + "\n");
    ASSERT_TRUE(Within(60, [&] { return Count(prompt.Err(), "still running") == 2; })) << prompt.Err();
    std::string visible = "search --onlyvisible --pid " + std::to_string(prompt.started.pid) + " >/dev/null";
    Xdotool("mousemove --window " + window + " 5 5 key Escape");
    auto hidden = Within(2, [&] { return std::system(("xdotool " + visible).c_str()) != 0; });
    EXPECT_TRUE(hidden) << "Esc did not hide the window while the command ran";
    EXPECT_EQ(Count(prompt.Err(), "Saved"), 1) << "the command was too short to tell";
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Saved " + Scratch("again.png"), 120)) << prompt.Err();
    EXPECT_EQ(redOnScreen(), 0);
    EXPECT_EQ(prompt.End(), 0) << prompt.Err();
    std::printf("During a command the window repainted after %lld ms and hid after %lld ms\n",
                repainted ? (long long)repainted->count() : -1LL, hidden ? (long long)hidden->count() : -1LL);
}

// A drag made while a command runs turns the last frame once the command is
// done, without another line typed. The command is a copy whose clipboard
// program (a stand-in for xclip) waits until the test lets it end.
TEST(Window, ADragDuringACommandTurnsTheFrameWhenTheCommandEnds)
{
    std::string bin = Scratch("bin"), gate = Scratch("gate");
    std::filesystem::create_directories(bin);
    ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
    WriteFile(bin + "/xclip", "#!/bin/sh\ncat >/dev/null\nread word < '" + gate + "'\n");
    ASSERT_EQ(chmod((bin + "/xclip").c_str(), 0755), 0);
    TypedCommandWindow prompt({}, {"PATH=" + bin + ":" + std::getenv("PATH")});
    prompt.Type(TurnedScene + ".save " + Scratch("before.png") + "\n");
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Saved", 60)) << prompt.Err();
    Image before = Load(Scratch("before.png"));
    const uint32_t red = render::Rgb(255, 0, 0);
    long redBefore = render::CountNear(before, red, 8);
    ASSERT_GT(redBefore, 100) << "the sphere is in sight";
    auto redOnScreen = [&] { return render::CountNear(Screen(), red, 8); };
    ASSERT_TRUE(Within(30, [&] { return redOnScreen() == redBefore; })) << "the window shows the frame";

    prompt.Type("copy\n");
    // The gate opens for writing once the clipboard program waits on it.
    int release = open(gate.c_str(), O_WRONLY);
    ASSERT_GE(release, 0);
    DragTwentyDegrees(prompt.started);
    EXPECT_EQ(redOnScreen(), redBefore) << "the frame was turned inside the command";
    EXPECT_EQ(prompt.Err().find("Copied"), std::string::npos) << "the copy ended before the drag";
    ASSERT_EQ(write(release, "go\n", 3), 3);
    close(release);
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Copied", 30)) << prompt.Err();
    EXPECT_TRUE(Within(30, [&] { return redOnScreen() != redBefore; })) << "the drag was not applied after the command";

    prompt.Type(".save " + Scratch("after.png") + "\n");
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Saved " + Scratch("after.png"), 60)) << prompt.Err();
    EXPECT_EQ(prompt.End(), 0) << prompt.Err();
    std::string script = WriteScript("turned-scene.tsl", TurnedScene), out = Scratch("turned-run.png");
    EXPECT_EQ(Differing(Load(Scratch("after.png")), Written(script, {"--orbit", "-20,7.5", "-o", out}, out)), 0);
}

TEST(Window, NoWindowKeepsTheCommandWindowHeadless)
{
    TypedCommandWindow prompt({"--no-window"});
    prompt.Type("canvas 210 130 persp 30 1 100 10\nclear 1 0 0\nfinish\n.save " + Scratch("typed.png") + "\n");
    ASSERT_TRUE(window_test::WaitForMessage(prompt.started, "Saved", 60)) << prompt.Err();
    EXPECT_EQ(render::CountNear(Screen(), render::Rgb(255, 0, 0), 2), 0);
    EXPECT_EQ(prompt.End(), 0) << prompt.Err();
}

} // namespace
