// help, copy, anaglyph and stop: what each hands to the host or the shell,
// their token counts, and that none of them asks for a canvas. The shell's
// opener is replaced by a script on PATH that records what it was given.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ViewCommands : public PluginTest {
protected:
    TempDir dir;
    fs::path record = dir / "opened.txt", release = dir / "release";
    std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";

    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        PluginTest::TearDown();
    }

    // Puts an opener on PATH that writes its argument and where its standard
    // output and error go, then waits (five seconds at most) to be released.
    void InstallOpener()
    {
        fs::create_directories(dir / "bin");
        fs::path opener = dir / "bin" / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\n"
                              << "out=$(readlink /proc/$$/fd/1); err=$(readlink /proc/$$/fd/2)\n"
                              << "printf '%s\\n' \"$1\" \"$out\" \"$err\" > '"
                              << record.string() << ".part'\n"
                              << "mv '" << record.string() << ".part' '" << record.string() << "'\n"
                              << "echo noise; echo noise >&2\n"
                              << "i=0; while [ ! -e '" << release.string() << "' ] && [ $i -lt 100 ]; do "
                              << "sleep 0.05; i=$((i+1)); done\n";
        fs::permissions(opener, fs::perms::owner_all);
        setenv("PATH", ((dir / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
    }

    // What the opener recorded, once it has run; empty when it did not run
    // within the wait.
    std::vector<std::string> Opened(std::chrono::milliseconds wait = 5000ms)
    {
        auto until = std::chrono::steady_clock::now() + wait;
        while (!fs::exists(record) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(10ms);
        std::ofstream(release) << "";
        std::vector<std::string> lines;
        std::ifstream in(record);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    static bool NoChildLeft()
    {
        int status;
        return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
    }
};

TEST_F(ViewCommands, HelpOpensTheManualInTheCurrentDirectoryWithoutWaiting)
{
    Load();
    host.hasCanvas = 0;
    InstallOpener();
    WorkingDirectory inside(dir.path);
    std::string manual = fs::current_path().string() + "/manual.htm";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Command("help"), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s) << "help waited for the opener";
    EXPECT_TRUE(NoChildLeft());
    EXPECT_STREQ(MessageBuffer, manual.c_str());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(Opened(), (std::vector<std::string>{manual, "/dev/null", "/dev/null"}));
}

TEST_F(ViewCommands, HelpOpensNothingWhenThePathDoesNotFitTheBuffer)
{
    Load();
    InstallOpener();
    // The directory, "/" and "manual.htm" take 259 characters: the most that
    // fits. One more character and nothing opens.
    size_t base = dir.path.string().size() + 1;
    fs::path fits = dir / std::string(259 - 11 - base, 'd');
    fs::path over = dir / std::string(259 - 11 - base + 1, 'd');
    fs::create_directories(fits);
    fs::create_directories(over);
    {
        WorkingDirectory inside(over);
        std::memset(MessageBuffer, 'x', sizeof MessageBuffer);
        EXPECT_EQ(Run("help"), "");
        EXPECT_STREQ(MessageBuffer, "");
        EXPECT_TRUE(Opened(300ms).empty());
    }
    {
        WorkingDirectory inside(fits);
        EXPECT_EQ(Run("help"), "");
        EXPECT_EQ(std::strlen(MessageBuffer), 259u);
        EXPECT_EQ(Opened().at(0), fits.string() + "/manual.htm");
    }
}

TEST_F(ViewCommands, HelpWithoutAnOpenerDoesNothing)
{
    Load();
    fs::create_directories(dir / "empty");
    setenv("PATH", (dir / "empty").c_str(), 1);
    EXPECT_EQ(Run("help"), "");
    EXPECT_TRUE(NoChildLeft());
    EXPECT_LE(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, nullptr, "manual.htm", nullptr, nullptr, 1)), 32);
}

TEST_F(ViewCommands, ShellOpensOnlyWithTheDefaultAction)
{
    InstallOpener();
    EXPECT_LE(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "print", "a.htm", nullptr, nullptr, 1)), 32);
    EXPECT_LE(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, nullptr, nullptr, nullptr, nullptr, 1)), 32);
    EXPECT_TRUE(Opened(300ms).empty());
    EXPECT_GT(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", "a b.htm", nullptr, nullptr, 1)), 32);
    EXPECT_EQ(Opened().at(0), "a b.htm");
}

TEST_F(ViewCommands, AnaglyphColourValuesTruncateAndStayInTheirChannels)
{
    Load();
    host.hasCanvas = 0;
    struct Case {
        const char *line, *expected;
    } cases[] = {
        {"anaglyph 1 0 0 0 1 1", "MakeAnaglyph(0x0000FF, 0xFFFF00)"},
        {"anaglyph 0.5 0.5 0.5 0.5 0.5 0.5", "MakeAnaglyph(0x7F7F7F, 0x7F7F7F)"},
        {"anaglyph 0.25 0.999 0.004 red 1x 0", "MakeAnaglyph(0x01FE3F, 0x00FF00)"},
        // Outside 0 to 1: held to the channel, never carried into the next.
        {"anaglyph 0 1.5 0 2 -1 1e30", "MakeAnaglyph(0x00FF00, 0xFF00FF)"},
        {"anaglyph -0.5 nan inf -inf 0 -0", "MakeAnaglyph(0xFF0000, 0x000000)"},
    };
    for (const Case &c : cases) {
        ClearRecords();
        EXPECT_EQ(Run(c.line), "") << c.line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{c.expected, "RefreshCanvas(0, 0)"})) << c.line;
    }
}

TEST_F(ViewCommands, TokenCountsAndNoCanvasGate)
{
    Load();
    host.hasCanvas = 0;
    host.isModeling = 0;
    InstallOpener();
    struct Case {
        const char *line;
        std::vector<std::string> calls;
    } accepted[] = {
        {"copy", {"CopyCanvas()"}},
        {"stop", {"StopRun(none, 0, 0)"}},
        {"stop finished", {"StopRun(\"finished\", 0, 0)"}},
    };
    for (const Case &c : accepted) {
        ClearRecords();
        EXPECT_EQ(Run(c.line), "") << c.line;
        EXPECT_EQ(host.calls, c.calls) << c.line;
    }
    for (const char *line : {"help me", "copy now", "stop a b", "anaglyph 1 0 0 0 1", "anaglyph 1 0 0 0 1 1 1"}) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! Wrong number of tokens") << line;
        EXPECT_TRUE(host.calls.empty()) << line;
    }
    EXPECT_TRUE(Opened(300ms).empty()) << "help with a token too many opened the manual";
}

}
