// Ctrl-C and the signals that end a program: a run ends promptly with
// 128 + the signal and no half-written image; the command window stops what
// would run next and ends a long command only on a second Ctrl-C.
#include "tests/render/child_process.h"

#include "app/process/interrupt.h"
#include "app/process/output_file.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using render::Child;
using render::ChildResult;
using render::WaitUntil;
using namespace std::chrono_literals;

// Takes many seconds to model and draw: longer than any test waits.
constexpr const char *LongCommand = "torus 2 0 360 3000 x 360 3000 x\n";
// What the command window says when a command has run for a second: the
// tests wait for it rather than guess how long starting a command takes.
constexpr const char *StillRunning = "Note: this command is still running.";

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
        // The signal ends the run wherever it is: reading the long command
        // or in the middle of it.
        child.Write(LongCommand);
        child.Write("finish\n");
        // Promptly, not after the long command: the finish after it would
        // have written the second frame. (A clock would measure the machine's
        // load too.)
        child.Signal(c.signal);
        ChildResult result = child.Wait(60s);
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
    EXPECT_EQ(ReadFile(target), before);
    EXPECT_EQ(DotFiles(directory), std::vector<std::string>());
}

TEST(Interrupt, PipedCommandWindowStopsItsScript)
{
    // Each child writes its output in a folder of its own, so that waiting
    // for one child's message never reads what the one before it wrote.
    int children = 0;
    auto own = [&children] {
        std::string folder = render::ScratchDirectory() + "/child-" + std::to_string(++children);
        std::filesystem::remove_all(folder); // what a repeated run left
        std::filesystem::create_directories(folder);
        return folder;
    };
    {
        // Waiting for input: the script stops there.
        Child child({}, own());
        child.Write("canvas 40 30\nwrong\n");
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), "stdin:2: Error!"); }));
        child.Signal(SIGINT);
        ChildResult result = child.Wait(60s);
        EXPECT_EQ(result.status, 130) << result.err;
        EXPECT_TRUE(Contains(result.err, "tesselin: interrupted; the commands after stdin:2 were not run"))
            << result.err;
    }
    {
        // During a command that ends on its own: nothing after it runs.
        Child child({}, own());
        child.Write(std::string("canvas 200 150 persp 30 1 100 10\nwrong\n") + LongCommand + "nonsense\n");
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), StillRunning); }, 60s)) << child.ErrorSoFar();
        child.Signal(SIGINT);
        ChildResult result = child.Wait(120s);
        EXPECT_EQ(result.status, 130) << result.err;
        EXPECT_TRUE(Contains(result.err, "Interrupted: this command cannot be cut short safely")) << result.err;
        EXPECT_TRUE(Contains(result.err, "the commands after stdin:3 were not run")) << result.err;
        EXPECT_FALSE(Contains(result.err, "stdin:4")) << result.err;
    }
    {
        // A second Ctrl-C during the same command ends the program at once.
        Child child({}, own());
        child.Write(std::string("canvas 200 150 persp 30 1 100 10\nwrong\n") + LongCommand);
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), StillRunning); }, 60s)) << child.ErrorSoFar();
        child.Signal(SIGINT);
        ASSERT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), "Interrupted:"); }, 60s));
        child.Signal(SIGINT);
        ChildResult result = child.Wait(60s);
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.status, 130);
        // At once, from inside the command: the words of the signal's own
        // ending, not those of a command that ended and stopped the script.
        EXPECT_TRUE(Contains(result.err, "tesselin: interrupted; the run stops")) << result.err;
        EXPECT_FALSE(Contains(result.err, "were not run")) << result.err;
    }
}

} // namespace

namespace {

// The command window on a terminal of its own: what a person at the keyboard
// types, Ctrl-C included, and what the window shows.
class Terminal {
public:
    Terminal()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        std::string slave = ptsname(master_);
        std::string program = render::ProgramPath();
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            int fd = open(slave.c_str(), O_RDWR);
            ioctl(fd, TIOCSCTTY, 0);
            dup2(fd, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            signal(SIGINT, SIG_DFL);
            execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
    }
    ~Terminal()
    {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            close(master_);
    }
    bool Started() const { return pid_ > 0; }
    void Type(std::string_view keys)
    {
        if (write(master_, keys.data(), keys.size()) != ssize_t(keys.size()))
            ADD_FAILURE() << "cannot type";
    }
    // Reads what the window shows until it contains text (or time runs out).
    bool WaitFor(const std::string &text, std::chrono::milliseconds timeout = 30s, std::size_t from = 0)
    {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (screen_.find(text, from) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd input{master_, POLLIN, 0};
            if (poll(&input, 1, 50) > 0) {
                char block[4096];
                ssize_t n = read(master_, block, sizeof block);
                if (n <= 0)
                    return false;
                screen_.append(block, std::size_t(n));
            }
        }
        return true;
    }
    int Wait()
    {
        int status = 0;
        WaitFor("\x01", 5s); // drains the screen until the program has gone
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string &Screen() const { return screen_; }

private:
    int master_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string screen_;
};

TEST(Interrupt, KeyboardCtrlCDropsTheLineOrStopsAfterTheCommandAndKeepsTheSession)
{
    std::string saved = render::ScratchDirectory() + "/kept.png";
    Terminal terminal;
    if (!terminal.Started())
        GTEST_SKIP() << "no terminal devices here";
    ASSERT_TRUE(terminal.WaitFor("tesselin> "));
    // The greeting names the version that tesselin --version prints.
    EXPECT_TRUE(Contains(terminal.Screen(), std::string("command window (tesselin ") + TESSELIN_VERSION + ", "))
        << terminal.Screen();
    // A half-typed line is dropped: only the next one reaches the plug-in.
    terminal.Type("canvas 4");
    ASSERT_TRUE(terminal.WaitFor("canvas 4"));
    terminal.Type("\x03");
    terminal.Type("canvas 120 90 persp 30 1 100 10\rclear 0 0 1\rfinish\r");
    // A long command ends on its own after Ctrl-C; the session stays.
    terminal.Type("torus 2 0 360 3000 x 360 3000 x\r");
    ASSERT_TRUE(terminal.WaitFor(StillRunning, 60s)) << terminal.Screen();
    terminal.Type("\x03");
    ASSERT_TRUE(terminal.WaitFor("Interrupted; the session and its pictures are kept.", 120s)) << terminal.Screen();
    terminal.Type(".save " + saved + "\r");
    ASSERT_TRUE(terminal.WaitFor("Saved " + saved)) << terminal.Screen();
    // A person types Ctrl-D at the prompt: typed while the window is between
    // lines, the terminal's own line discipline may take it as its end of file.
    ASSERT_TRUE(terminal.WaitFor("tesselin> ", 30s, terminal.Screen().find("Saved " + saved))) << terminal.Screen();
    terminal.Type("\x04");
    EXPECT_EQ(terminal.Wait(), 0) << terminal.Screen();
    EXPECT_FALSE(Contains(terminal.Screen(), "Error!")) << terminal.Screen();
    auto image = render::LoadPng(saved);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 120);
    EXPECT_EQ(image->height, 90);
}

} // namespace
