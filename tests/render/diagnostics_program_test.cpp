// The program's help beside the plug-in's answers, tesselin check, run
// without -o, and the command window's .help, Tab and history, from outside.
#include "app/script/tokenizer.h"
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using render::RunTesselin;

std::string WriteFile(const std::string &name, const std::string &text)
{
    std::string path = render::ScratchDirectory() + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs the rest of a test in directory, and goes back after.
struct InDirectory {
    fs::path before = fs::current_path();
    explicit InDirectory(const fs::path &directory) { fs::current_path(directory); }
    ~InDirectory() { fs::current_path(before); }
};

TEST(Diagnostics, HelpLinesFollowThePluginsAnswersUnchanged)
{
    std::string script = WriteFile("slips.tsl", "canvs 400 300\n"
                                                "canvas 64 48 persp 30 1 100 10\n"
                                                "rotate 90 0 0\n"
                                                "diffuse red 0 0\n"
                                                "Cube\n"
                                                "finish\n");
    auto result = RunTesselin({"run", script, "-o", render::ScratchDirectory() + "/slips.png"});
    EXPECT_EQ(result.status, 1);
    // Each answer of the plug-in as it gave it, the host's help on the next line.
    std::vector<std::string> expected = {
        script + ":1: Error! Modeling not begun",
        script + ":1:1: Hint: \"canvs\" is not a command; did you mean \"canvas\"?",
        script + ":3: Error! Wrong number of tokens",
        script + ":3:1: Hint: \"rotate\" is written: rotate ANGLE X Y Z (this line has 3 tokens after the keyword)",
        script + ":4:9: Warning: \"red\" is not a number; diffuse reads it as 0",
        script + ":5: Error! A wrong token",
        script + ":5:1: Hint: \"Cube\" is not a command; did you mean \"cube\"?",
    };
    EXPECT_EQ(Lines(result.err), expected);
}

TEST(Diagnostics, AWarningAloneLeavesTheExitStatusAtZero)
{
    std::string script = WriteFile("warn.tsl", "canvas 32 32 persp 30 1 100 10\ncolor red 0 0\nfinish\n");
    auto result = RunTesselin({"run", script, "-o", render::ScratchDirectory() + "/warn.png"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(Lines(result.err), std::vector<std::string>{script + ":2:7: Warning: \"red\" is not a number; color "
                                                                   "reads it as 0"});
}

TEST(Diagnostics, QuotedAndEscapedPathsReachThePlugin)
{
    std::string directory = render::ScratchDirectory();
    WriteFile("My Data/x values.txt", "0 1 2\n");
    WriteFile("My Data/y values.txt", "0 1 0\n");
    std::string script = WriteFile("paths.tsl", "canvas 32 32 persp 30 1 100 10\n"
                                                "arrayf '" + directory + "/My Data/x values.txt' 1 0\n"
                                                "arrayf " + directory + "/My\\ Data/y\\ values.txt 1 0\n"
                                                "line\nfinish\n");
    auto result = RunTesselin({"run", script, "-o", directory + "/paths.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
}

TEST(Check, ReportsWithoutRunningAndExitsByWhatItFound)
{
    std::string clean = WriteFile("clean.tsl", "canvas 40 30 persp 30 1 100 10\nclear 1 1 1\nsphere 8 8 flat\nfinish\n");
    std::string faulty = WriteFile("faulty.tsl", "canvas 40 30 persp 30 1 100 10\nsphree 8 8 flat\nmove 1 2\n");
    // check needs neither OpenGL nor the module.
    auto ok = RunTesselin({"check", clean, "--module", "/nonexistent/tesselin.so"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, clean + ": no problems found\n");
    EXPECT_TRUE(ok.err.empty()) << ok.err;

    auto found = RunTesselin({"check", faulty});
    EXPECT_EQ(found.status, 1);
    EXPECT_EQ(Lines(found.out),
              (std::vector<std::string>{
                  faulty + ":2:1: Error! \"sphree\" is not a command; did you mean \"sphere\"?",
                  faulty + ":3:1: Error! \"move\" is written: move X Y Z (this line has 2 tokens after the keyword)",
                  faulty + ": 2 errors, 0 warnings"}));
    EXPECT_FALSE(fs::exists(render::ScratchDirectory() + "/faulty.png")) << "check ran the script";

    auto piped = RunTesselin({"check", "-"}, "canvs\n");
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(Lines(piped.out).front(), "stdin:1:1: Error! \"canvs\" is not a command; did you mean \"canvas\"?");

    auto unreadable = RunTesselin({"check", "/nonexistent/script.tsl"});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_NE(unreadable.err.find("cannot read the script /nonexistent/script.tsl"), std::string::npos);
    auto none = RunTesselin({"check"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("check needs a script"), std::string::npos) << none.err;
}

TEST(Run, WithoutAnOutputWritesTheScriptsNameInTheCurrentDirectory)
{
    std::string script = WriteFile("scripts/little scene.tsl", "canvas 24 16 persp 30 1 100 10\nclear 1 0 0\nfinish\n");
    fs::path here = fs::path(render::ScratchDirectory()) / "here";
    fs::create_directories(here);
    InDirectory inside(here);
    auto result = RunTesselin({"run", script});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "Note: no -o given, so the canvas window was written to little scene.png\n");
    auto image = render::LoadPng((here / "little scene.png").string());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 24);
    EXPECT_GT(render::CountNear(*image, render::Rgb(255, 0, 0), 2), 24 * 16 - 1);
    EXPECT_FALSE(fs::exists(fs::path(script).replace_extension(".png"))) << "written beside the script";

    // Another output named: nothing is written in its place.
    fs::remove(here / "little scene.png");
    auto right = RunTesselin({"run", script, "--frames", (here / "frame").string()});
    EXPECT_EQ(right.status, 0) << right.err;
    EXPECT_FALSE(fs::exists(here / "little scene.png"));
    EXPECT_TRUE(fs::exists(here / "frame-0001.png"));

    // No canvas left: said, and no error of its own.
    std::string gone = WriteFile("gone.tsl", "canvas 0 10\n");
    auto nothing = RunTesselin({"run", gone});
    EXPECT_EQ(nothing.status, 1) << "the canvas line failed";
    EXPECT_NE(nothing.err.find("Note: no canvas is left at the end, so no picture was written"), std::string::npos)
        << nothing.err;
    EXPECT_EQ(nothing.err.find("cannot write"), std::string::npos) << nothing.err;
}

TEST(CommandWindow, HelpWithAKeywordGivesItsForms)
{
    auto result = RunTesselin({}, ".help torus\n.help canvs\n.help\n");
    EXPECT_EQ(result.status, 0) << result.err;
    for (const char *part : {"torus RADIUS TUBE_START TUBE_END BANDS flat|smooth SWEEP SEGMENTS flat|smooth",
                             "\"canvs\" is not a command; did you mean \"canvas\"?", ".help KEYWORD"})
        EXPECT_NE(result.err.find(part), std::string::npos) << part << "\n" << result.err;
    // .help alone lists every keyword.
    std::string listed = result.err.substr(result.err.find("Commands:"));
    std::istringstream words(listed);
    std::vector<std::string> keywords;
    for (std::string word; words >> word;)
        keywords.push_back(word);
    ASSERT_EQ(keywords.size(), 43u) << listed;
    EXPECT_EQ(keywords[1], "help");
    EXPECT_EQ(keywords[42], "vgrad");
}

// The program at a terminal: a pseudo-terminal typed into, its screen read back.
class Terminal {
public:
    Terminal(const std::vector<std::pair<std::string, std::string>> &environment, const fs::path &directory)
    {
        winsize size{24, 200, 0, 0};
        child_ = forkpty(&master_, nullptr, nullptr, &size);
        if (child_ == 0) {
            for (const auto &[name, value] : environment)
                setenv(name.c_str(), value.c_str(), 1);
            if (chdir(directory.c_str()) != 0)
                _exit(126);
            std::string program = render::ProgramPath();
            execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
    }
    ~Terminal()
    {
        if (child_ > 0) {
            if (!Exited(std::chrono::seconds(10)))
                kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (master_ >= 0)
            close(master_);
    }
    bool Started() const { return child_ > 0; }
    void Type(const std::string &keys) { EXPECT_EQ(write(master_, keys.data(), keys.size()), (ssize_t)keys.size()); }
    // Types keys as a paste does, as fast as the program takes them, reading
    // its echo meanwhile (else both would wait on full buffers); false when
    // it stopped taking them before the end of timeout.
    bool Paste(std::string_view keys, std::chrono::steady_clock::time_point end)
    {
        int flags = fcntl(master_, F_GETFL);
        fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        bool all = PasteAll(keys, end);
        fcntl(master_, F_SETFL, flags);
        return all;
    }
    // Reads the screen until it shows text after what was read before; false on a timeout.
    bool WaitFor(const std::string &text, std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        return WaitFor(text, std::chrono::steady_clock::now() + timeout);
    }
    bool WaitFor(const std::string &text, std::chrono::steady_clock::time_point end)
    {
        // Only what came since is searched: a long echo stays linear.
        std::size_t from = seen_;
        while (screen_.find(text, from) == std::string::npos) {
            from = std::max(seen_, screen_.size() - std::min(screen_.size(), text.size()));
            pollfd ready{master_, POLLIN, 0};
            if (!Poll(ready, end) || !ReadScreen())
                return false;
        }
        seen_ = screen_.find(text, from) + text.size();
        return true;
    }
    const std::string &Screen() const { return screen_; }
    bool Exited(std::chrono::milliseconds timeout)
    {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            char buffer[4096];
            pollfd ready{master_, POLLIN, 0};
            if (poll(&ready, 1, 50) > 0)
                if (ssize_t got = read(master_, buffer, sizeof buffer); got > 0)
                    screen_.append(buffer, got);
            int status;
            if (waitpid(child_, &status, WNOHANG) == child_) {
                child_ = -1;
                return true;
            }
        }
        return false;
    }

private:
    bool PasteAll(std::string_view keys, std::chrono::steady_clock::time_point end)
    {
        while (!keys.empty()) {
            pollfd ready{master_, POLLIN | POLLOUT, 0};
            if (!Poll(ready, end))
                return false;
            if ((ready.revents & POLLIN) && !ReadScreen() && errno != EAGAIN)
                return false;
            if (ready.revents & POLLOUT) {
                ssize_t put = write(master_, keys.data(), std::min<std::size_t>(keys.size(), 4096));
                if (put < 0 && errno != EINTR && errno != EAGAIN)
                    return false;
                keys.remove_prefix(std::size_t(std::max<ssize_t>(put, 0)));
            }
        }
        return true;
    }
    bool Poll(pollfd &ready, std::chrono::steady_clock::time_point end)
    {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        return left.count() > 0 && poll(&ready, 1, static_cast<int>(left.count())) > 0;
    }
    bool ReadScreen()
    {
        char buffer[65536];
        ssize_t got = read(master_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        screen_.append(buffer, got);
        return true;
    }

    int master_ = -1;
    pid_t child_ = -1;
    std::string screen_;
    std::size_t seen_ = 0;
};

TEST(CommandWindow, TabCompletesKeywordsAndFileNamesAndHistoryOutlivesTheSession)
{
    fs::path home = render::ScratchDirectory();
    fs::path state = home / "state";
    WriteFile("sine numbers.txt", "0 1 0 -1 0\n");
    const std::vector<std::pair<std::string, std::string>> environment = {
        {"HOME", home.string()}, {"XDG_STATE_HOME", state.string()}, {"TERM", "dumb"}};
    {
        Terminal terminal(environment, home);
        ASSERT_TRUE(terminal.Started());
        ASSERT_TRUE(terminal.WaitFor("tesselin> ")) << terminal.Screen();
        // "canv" and Tab make "canvas ".
        terminal.Type("canv\t64 48 persp 30 1 100 10\r");
        ASSERT_TRUE(terminal.WaitFor("tesselin> ")) << terminal.Screen();
        // The number file's name, spaces and all, from its first letters.
        terminal.Type("arrayf sine\t 1 0\r");
        ASSERT_TRUE(terminal.WaitFor("tesselin> ")) << terminal.Screen();
        terminal.Type(".quit\r");
        ASSERT_TRUE(terminal.Exited(std::chrono::seconds(20))) << terminal.Screen();
        EXPECT_EQ(terminal.Screen().find("Error!"), std::string::npos) << terminal.Screen();
    }
    std::ifstream file(state / "tesselin" / "history");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "canvas 64 48 persp 30 1 100 10");
    auto tokens = tesselin::TokenizeLine(lines[1]);
    ASSERT_TRUE(tokens && tokens->size() == 4) << lines[1];
    EXPECT_EQ((*tokens)[1].text, "sine numbers.txt") << lines[1];
    EXPECT_EQ(lines[2], ".quit");

    // A second session finds the first one's lines: Up brings back the last.
    Terminal again(environment, home);
    ASSERT_TRUE(again.WaitFor("tesselin> ")) << again.Screen();
    again.Type("\x1b[A\x1b[A");
    EXPECT_TRUE(again.WaitFor("arrayf ")) << again.Screen();
    again.Type("\x15.quit\r");
    EXPECT_TRUE(again.Exited(std::chrono::seconds(20))) << again.Screen();
}

// A line of 10 MB pasted at the prompt is taken whole and the next prompt
// answers within seconds (it took over a minute while readline redrew the
// line for every block of keys), at a terminal that wraps a long line and at
// one that scrolls it sideways. Such a line is not kept in the history.
TEST(CommandWindow, ATenMegabyteLinePastedIsTakenWithinSeconds)
{
    const std::size_t length = 10'000'000;
    const std::string comment = "# " + std::string(length, 'x');
    for (const char *term : {"xterm", "dumb"}) {
        SCOPED_TRACE(term);
        fs::path home = fs::path(render::ScratchDirectory()) / ("paste-" + std::string(term));
        fs::path state = home / "state";
        fs::create_directories(home);
        {
            Terminal terminal({{"HOME", home.string()}, {"XDG_STATE_HOME", state.string()}, {"TERM", term}}, home);
            ASSERT_TRUE(terminal.WaitFor("tesselin> ")) << terminal.Screen();
            std::size_t before = terminal.Screen().size();
            auto start = std::chrono::steady_clock::now();
            // Ample for a loaded machine of two cores; the paste takes about a second.
            auto end = start + std::chrono::seconds(10);
            bool taken = terminal.Paste(comment + "\r", end);
            terminal.Type(".help torus\r");
            bool answered = taken && terminal.WaitFor("torus RADIUS", end) && terminal.WaitFor("tesselin> ", end);
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            ASSERT_TRUE(answered) << (taken ? "not answered" : "the paste was not taken") << " after " << took.count()
                                  << " s";
            std::string shown = terminal.Screen().substr(before);
            EXPECT_NE(shown.find("Note: a line over 64 KiB runs but is not kept in the history"), std::string::npos);
            // Wrapped, the whole line is on the screen, each byte once.
            if (std::string_view(term) == "xterm") {
                EXPECT_EQ(std::count(shown.begin(), shown.end(), 'x'), std::ptrdiff_t(length));
            }
            terminal.Type(".quit\r");
            ASSERT_TRUE(terminal.Exited(std::chrono::seconds(20))) << terminal.Screen().substr(before, 2000);
        }
        std::ifstream file(state / "tesselin" / "history");
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        EXPECT_EQ(lines, (std::vector<std::string>{".help torus", ".quit"}));
    }
}

} // namespace
