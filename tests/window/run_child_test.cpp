// A script run in a child process beside the window, without a display: its
// pictures come back whole and in order, a run can be stopped at any line,
// and a module that crashes ends only the child, which says where it was.
#include "app/view/run_child.h"
#include "tests/shared/text_files.h"
#include "tests/render/render_harness.h"

#include <filesystem>
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

using tesselin::ChildEnd;
using tesselin::ChildOutcome;
using tesselin::RunChild;

std::string WriteScript(const std::string &name, const std::string &text)
{
    std::string path = render::ScratchDirectory() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

tesselin::Image Filled(int width, int height, uint32_t first)
{
    tesselin::Image image(width, height);
    for (std::size_t i = 0; i < image.pixels.size(); i++)
        image.pixels[i] = first + uint32_t(i);
    return image;
}

TEST(RunChild, OutcomesSurviveThePipeWholeAndOnlyWhole)
{
    struct Case {
        const char *name;
        bool pictures, left, right;
        std::string problem;
    };
    const Case cases[] = {
        {"failed", false, false, false, "demo.tsl:3: Error! no such command"},
        {"mono", true, false, false, ""},
        {"stereo", true, true, true, ""},
        {"right only", true, false, true, "a warning kept"},
    };
    for (const Case &c : cases) {
        ChildOutcome sent;
        sent.fromRun = c.pictures;
        sent.scriptDistance = 12.5;
        sent.camera = {30, -15, 7.0};
        sent.outcome.problem = c.problem;
        sent.outcome.redrawn = !c.left;
        if (c.pictures) {
            tesselin::RunPictures pictures;
            pictures.window = Filled(7, 5, 100);
            if (c.left)
                pictures.left = Filled(7, 5, 200);
            if (c.right)
                pictures.right = Filled(3, 9, 300);
            sent.outcome.pictures = pictures;
        }
        std::vector<char> bytes = tesselin::EncodeOutcome(sent);
        // Every prefix is not yet an outcome, and takes nothing.
        for (std::size_t cut : {std::size_t(0), std::size_t(10), bytes.size() / 2, bytes.size() - 1}) {
            std::vector<char> part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
            std::size_t used = 99;
            EXPECT_FALSE(tesselin::DecodeOutcome(part, used)) << c.name << " cut at " << cut;
            EXPECT_EQ(used, 0u) << c.name;
        }
        // Two in a row: the first is read and the second stays.
        std::vector<char> two = bytes;
        two.insert(two.end(), bytes.begin(), bytes.end());
        std::size_t used = 0;
        auto got = tesselin::DecodeOutcome(two, used);
        ASSERT_TRUE(got) << c.name;
        EXPECT_EQ(used, bytes.size()) << c.name;
        EXPECT_EQ(got->fromRun, sent.fromRun) << c.name;
        EXPECT_EQ(got->scriptDistance, 12.5) << c.name;
        EXPECT_EQ(got->camera.azimuth, 30) << c.name;
        EXPECT_EQ(got->camera.distance, std::optional<double>(7.0)) << c.name;
        EXPECT_EQ(got->outcome.problem, c.problem) << c.name;
        EXPECT_EQ(got->outcome.redrawn, sent.outcome.redrawn) << c.name;
        ASSERT_EQ(got->outcome.pictures.has_value(), c.pictures) << c.name;
        if (!c.pictures)
            continue;
        const auto &was = *sent.outcome.pictures, &is = *got->outcome.pictures;
        EXPECT_EQ(is.window.pixels, was.window.pixels) << c.name;
        EXPECT_EQ(is.left.has_value(), c.left) << c.name;
        EXPECT_EQ(is.right.has_value(), c.right) << c.name;
        if (c.right) {
            EXPECT_EQ(is.right->width, 3) << c.name;
            EXPECT_EQ(is.right->pixels, was.right->pixels) << c.name;
        }
    }
    // Bytes that are no outcome are thrown away rather than waited on.
    std::vector<char> junk(200, 'x');
    std::size_t used = 0;
    EXPECT_FALSE(tesselin::DecodeOutcome(junk, used));
    EXPECT_EQ(used, junk.size());
}

// What the child sends until it has answered count times or ended (waiting
// for what it says, with a deadline for a child that hangs).
std::vector<ChildOutcome> Await(RunChild &child, std::size_t count, std::optional<ChildEnd> &end)
{
    std::vector<ChildOutcome> all;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (all.size() < count && std::chrono::steady_clock::now() < deadline) {
        for (ChildOutcome &outcome : child.Collect(end))
            all.push_back(std::move(outcome));
        if (end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return all;
}

RunChild Child(const std::string &script, const std::string &module = render::ModulePath())
{
    return RunChild({script, module, 1, {}});
}

const char *Scene = "canvas 160 120 persp 30 1 100 12\nclear 1 1 1\nlight 0 0 1\ndiffuse 1 0 0\n"
                    "push\nmove -2 0 0\nsphere 12 16 smooth\npop\ndiffuse 0 1 0\ncube\nfinish\n";

TEST(RunChild, ARunAndItsTurnsGiveWhatTheSameRunsInThisProcessGive)
{
    std::string script = WriteScript("child.tsl", Scene);
    RunChild child = Child(script);
    std::string error;
    ASSERT_TRUE(child.Run({}, error)) << error;
    EXPECT_TRUE(child.Running());
    std::optional<ChildEnd> end;
    auto first = Await(child, 1, end);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_FALSE(end);
    EXPECT_TRUE(first[0].fromRun);
    ASSERT_TRUE(first[0].outcome.pictures) << first[0].outcome.problem;
    EXPECT_EQ(first[0].scriptDistance, 12);
    EXPECT_EQ(child.Place().line, 11);
    EXPECT_EQ(child.Place().lines, 11);
    EXPECT_FALSE(child.Busy());
    // A turn is a redraw of the kept frame, as tesselin run --orbit draws it.
    ASSERT_TRUE(child.Turn({35, 20, std::nullopt}));
    EXPECT_FALSE(child.Turn({0, 0, std::nullopt})) << "a second turn before the first came back";
    auto turned = Await(child, 1, end);
    ASSERT_EQ(turned.size(), 1u);
    EXPECT_FALSE(turned[0].fromRun);
    EXPECT_TRUE(turned[0].outcome.redrawn);
    std::string out = render::ScratchDirectory() + "/child-run.png";
    auto run = render::RunTesselin({"run", script, "--orbit", "35,20", "-o", out});
    ASSERT_EQ(run.status, 0) << run.err;
    auto written = render::LoadPng(out);
    ASSERT_TRUE(written);
    EXPECT_EQ(turned[0].outcome.pictures->window.pixels, written->pixels);
    // The e key: the child writes the model of its kept frame and answers
    // without pictures, so the window keeps what it shows; the model is the
    // script's, as tesselin run --export writes it, whatever the turn.
    std::string model = render::ScratchDirectory() + "/child-model.glb";
    std::string beside = render::ScratchDirectory() + "/run-model.glb";
    std::filesystem::remove(model);
    ASSERT_TRUE(child.Export(model));
    auto exported = Await(child, 1, end);
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_EQ(exported[0].exported, 1);
    EXPECT_FALSE(exported[0].outcome.pictures);
    ASSERT_EQ(render::RunTesselin({"run", script, "--export", beside}).status, 0);
    EXPECT_EQ(ReadFile(model), ReadFile(beside));
    ASSERT_TRUE(child.Export(render::ScratchDirectory() + "/no-such-folder/model.glb"));
    exported = Await(child, 1, end);
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_EQ(exported[0].exported, 2) << "a model that could not be written says so";
}

std::string SlowScript(const std::string &name, int tori)
{
    std::string text = "canvas 160 120 persp 30 1 100 12\nclear 1 0 0\nlight 0 0 1\ndiffuse 1 1 1\n";
    for (int i = 0; i < tori; i++)
        text += "torus 2 0 360 300 x 360 300 x\n";
    return WriteScript(name, text + "finish\n");
}

TEST(RunChild, AStoppedRunEndsAtOnceWhereItWas)
{
    RunChild child = Child(SlowScript("slow-child.tsl", 400));
    std::string error;
    ASSERT_TRUE(child.Run({}, error)) << error;
    // Waits until the script is past its third line, as the window would see it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (child.Place().line < 6 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(child.Place().line, 6);
    EXPECT_EQ(child.Place().lines, 405);
    auto before = std::chrono::steady_clock::now();
    child.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));
    EXPECT_FALSE(child.Alive());
    EXPECT_FALSE(child.Busy());
    std::optional<ChildEnd> end;
    EXPECT_TRUE(child.Collect(end).empty());
    EXPECT_FALSE(end) << "a stop asked for is no crash";
}

TEST(RunChild, AModuleThatCrashesEndsOnlyTheChildWhichSaysWhere)
{
    struct Case {
        int signal;
        const char *after; // lines before the crash
    };
    const Case cases[] = {{SIGSEGV, ""}, {SIGABRT, "canvas 40 30 persp 30 1 100 10\nclear 0 1 0\nfinish\n"},
                          {SIGKILL, "clear 0 0 1\n"}};
    for (const Case &c : cases) {
        std::string text = std::string(c.after) + "crash " + std::to_string(c.signal) + "\nclear 1 1 1\n";
        std::string script = WriteScript("crash.tsl", text);
        RunChild child = Child(script, CRASHING_MODULE);
        std::string error;
        ASSERT_TRUE(child.Run({}, error)) << error;
        std::optional<ChildEnd> end;
        EXPECT_TRUE(Await(child, 1, end).empty()) << c.signal;
        ASSERT_TRUE(end) << c.signal;
        int crashLine = int(std::count(text.begin(), text.end(), '\n')) - 1;
        EXPECT_EQ(end->signal, c.signal);
        EXPECT_TRUE(end->duringRun);
        EXPECT_EQ(end->place.line, crashLine) << c.signal;
        EXPECT_EQ(end->place.lines, crashLine + 1) << c.signal;
        EXPECT_FALSE(child.Alive());
    }
}

} // namespace
