// Ctrl-C and the signals that end a program: a run ends promptly with
// 128 + the signal and no half-written image; the command window stops what
// would run next and ends a long command only on a second Ctrl-C.
#include "tests/render/child_process.h"

#include "app/interrupt.h"
#include "app/output_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using render::Child;
using render::ChildResult;
using render::WaitUntil;
using namespace std::chrono_literals;

bool Contains(const std::string &text, const std::string &fragment) { return text.find(fragment) != std::string::npos; }

// Takes many seconds to model and draw: longer than any test waits.
constexpr const char *LongCommand = "torus 2 0 360 3000 x 360 3000 x\n";

std::vector<std::string> DotFiles(const std::string &directory)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory))
        if (entry.path().filename().string()[0] == '.')
            names.push_back(entry.path().string());
    return names;
}

TEST(Interrupt, RunEndsPromptlyWithoutWritingMore)
{
    struct Case {
        int signal;
        int status;
        const char *message;
    } cases[] = {
        {SIGINT, 130, "tesselin: interrupted; the run stops"},
        {SIGTERM, 143, "tesselin: terminated; the run stops"},
        {SIGHUP, 129, "tesselin: hung up; the run stops"},
    };
    for (const Case &c : cases) {
        std::string directory = render::ScratchDirectory() + "/" + std::to_string(c.signal);
        fs::create_directories(directory);
        std::string frames = directory + "/frame", out = directory + "/out.png";
        Child child({"run", "-", "--frames", frames, "-o", out}, directory);
        child.Write("canvas 64 48 persp 30 1 100 10\nfinish\n");
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(frames + "-0001.png"); }));
        child.Write(LongCommand);
        child.Write("finish\n");
        std::this_thread::sleep_for(300ms);
        auto sent = std::chrono::steady_clock::now();
        child.Signal(c.signal);
        ChildResult result = child.Wait(10s);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s);
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(Contains(result.err, c.message)) << result.err;
        EXPECT_TRUE(render::LoadPng(frames + "-0001.png"));
        EXPECT_FALSE(fs::exists(frames + "-0002.png"));
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(DotFiles(directory), std::vector<std::string>());
    }
}

TEST(Interrupt, ImageBeingWrittenIsRemovedNotLeftHalfWritten)
{
    std::string directory = render::ScratchDirectory();
    std::string target = directory + "/picture.png", before = "the picture before\n";
    std::ofstream(target, std::ios::binary) << before;
    pid_t child = fork();
    if (child == 0) {
        tesselin::EndRunOnSignals();
        std::string error;
        tesselin::WriteOutputFile(
            target,
            [](std::FILE *stream, std::string &) {
                std::fputs("half of a picture", stream);
                std::fflush(stream);
                raise(SIGINT);
                return true;
            },
            error);
        _exit(0); // the signal should have ended it
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    std::ifstream file(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), before);
    EXPECT_EQ(DotFiles(directory), std::vector<std::string>());
}

TEST(Interrupt, PipedCommandWindowStopsItsScript)
{
    std::string directory = render::ScratchDirectory();
    {
        // Waiting for input: the script stops there.
        Child child({}, directory);
        child.Write("canvas 40 30\n");
        std::this_thread::sleep_for(300ms);
        child.Signal(SIGINT);
        ChildResult result = child.Wait(10s);
        EXPECT_EQ(result.status, 130) << result.err;
        EXPECT_TRUE(Contains(result.err, "tesselin: interrupted; the commands after stdin:1 were not run"))
            << result.err;
    }
    {
        // During a command that ends on its own: nothing after it runs.
        Child child({}, directory);
        child.Write("canvas 200 150 persp 30 1 100 10\nwrong\ntorus 2 0 360 1500 x 360 1500 x\nnonsense\n");
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), "stdin:2: Error!"); }));
        std::this_thread::sleep_for(200ms);
        child.Signal(SIGINT);
        ChildResult result = child.Wait(120s);
        EXPECT_EQ(result.status, 130) << result.err;
        EXPECT_TRUE(Contains(result.err, "Interrupted: this command cannot be cut short safely")) << result.err;
        EXPECT_TRUE(Contains(result.err, "the commands after stdin:3 were not run")) << result.err;
        EXPECT_FALSE(Contains(result.err, "stdin:4")) << result.err;
    }
    {
        // A second Ctrl-C during the same command ends the program at once.
        Child child({}, directory);
        child.Write(std::string("canvas 200 150 persp 30 1 100 10\nwrong\n") + LongCommand);
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), "stdin:2: Error!"); }));
        std::this_thread::sleep_for(200ms);
        child.Signal(SIGINT);
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), "Interrupted:"); }, 5s));
        auto sent = std::chrono::steady_clock::now();
        child.Signal(SIGINT);
        ChildResult result = child.Wait(10s);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s);
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.status, 130);
        EXPECT_TRUE(Contains(result.err, "tesselin: interrupted")) << result.err;
    }
}

} // namespace
