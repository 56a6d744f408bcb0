// help, copy, anaglyph and stop: what each hands to the host or the shell,
// their token counts, and that none of them asks for a canvas. The shell's
// opener is a script put first on PATH that records what it was given.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ViewCommands : public PluginTest {
protected:
    TempDir dir;
    std::string record = dir / "opened", release = dir / "release", gone = dir / "gone";
    std::string savedPath = std::getenv("PATH");

    // The opener writes its argument and where its output and errors go, then
    // waits until released (a minute at most), as a browser would stay, and
    // leaves a mark as it goes.
    void SetUp() override
    {
        PluginTest::SetUp();
        fs::create_directories(dir.path / "bin");
        std::ofstream(dir / "bin/xdg-open")
            << "#!/bin/sh\nout=$(readlink /proc/$$/fd/1); err=$(readlink /proc/$$/fd/2)\n"
            << "printf '%s\\n' \"$1\" \"$out\" \"$err\" > '" << record << ".part'; mv '" << record << ".part' '"
            << record << "'\necho noise; echo noise >&2\n"
            << "i=0; while [ ! -e '" << release << "' ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
            << ": > '" << gone << "'\n";
        fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
        setenv("PATH", (dir / "bin:/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        PluginTest::TearDown();
    }

    // What the opener recorded; empty when it did not run within the wait.
    std::vector<std::string> Opened(std::chrono::milliseconds wait = 60000ms)
    {
        for (auto until = std::chrono::steady_clock::now() + wait;
             !fs::exists(record) && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(10ms);
        std::ofstream{release};
        std::vector<std::string> lines;
        std::ifstream in(record);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        fs::remove(record);
        return lines;
    }

    static bool NoChildLeft()
    {
        int status;
        return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
    }
};

TEST_F(ViewCommands, HelpOpensTheManualQuietlyWithoutWaitingOrLeavingAChild)
{
    Load();
    host.hasCanvas = 0;
    WorkingDirectory inside(dir.path);
    std::string manual = fs::current_path().string() + "/manual.htm";
    EXPECT_EQ(Command("help"), nullptr);
    // The opener stays until released: had help waited for it, it would be gone.
    EXPECT_FALSE(fs::exists(gone)) << "help waited for the opener";
    EXPECT_TRUE(NoChildLeft());
    EXPECT_STREQ(MessageBuffer, manual.c_str());
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(Opened(), (std::vector<std::string>{manual, "/dev/null", "/dev/null"}));
}

TEST_F(ViewCommands, HelpOpensNothingWhenThePathDoesNotFitTheBuffer)
{
    Load();
    // Directory, "/" and "manual.htm" in exactly 259 characters fit; one more
    // and nothing opens, and the buffer holds no part of the path.
    std::string fits = dir / std::string(259 - 11 - dir.path.string().size() - 1, 'd');
    for (const std::string &where : {fits + "d", fits}) {
        fs::create_directories(where);
        WorkingDirectory inside(where);
        std::memset(MessageBuffer, 'x', sizeof MessageBuffer);
        EXPECT_EQ(Run("help"), "");
        std::vector<std::string> opened = Opened(where == fits ? 60000ms : 300ms);
        EXPECT_EQ(opened.empty() ? "" : opened[0], where == fits ? where + "/manual.htm" : "");
        EXPECT_STREQ(MessageBuffer, where == fits ? (where + "/manual.htm").c_str() : "");
    }
}

TEST_F(ViewCommands, ShellOpensOnlyWithTheDefaultActionAndAnOpenerOnThePath)
{
    EXPECT_LE(intptr_t(ShellExecuteA(nullptr, "print", "a.htm", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_LE(intptr_t(ShellExecuteA(nullptr, nullptr, nullptr, nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_TRUE(Opened(300ms).empty());
    EXPECT_GT(intptr_t(ShellExecuteA(nullptr, "open", "a b.htm", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_EQ(Opened().at(0), "a b.htm");
    setenv("PATH", (dir / "nowhere").c_str(), 1);
    EXPECT_LE(intptr_t(ShellExecuteA(nullptr, nullptr, "a.htm", nullptr, nullptr, SW_SHOWNORMAL)), 32);
    EXPECT_TRUE(NoChildLeft());
}

TEST_F(ViewCommands, InstalledDocumentIsFoundBesideAnInstalledModuleOnly)
{
    // PREFIX/lib/tesselin/tesselin.so finds PREFIX/share/doc/tesselin/NAME.
    fs::create_directories(dir.path / "usr/lib/tesselin");
    fs::create_directories(dir.path / "usr/share/doc/tesselin");
    std::ofstream(dir / "usr/share/doc/tesselin/manual.htm") << "<html>";
    std::string module = dir / "usr/lib/tesselin/tesselin.so";
    std::string installed = dir / "usr/lib/tesselin/../../share/doc/tesselin/manual.htm";
    const struct {
        std::string module, file;
        size_t size;
        std::string found;
    } cases[] = {
        {module, "/somewhere/else/manual.htm", 4096, installed},
        {module, "manual.htm", 4096, installed},
        {module, "/somewhere/else/other.htm", 4096, ""},
        {module, "/somewhere/else/", 4096, ""},
        {dir / "build/tesselin.so", "/x/manual.htm", 4096, ""},
        {"tesselin.so", "/x/manual.htm", 4096, ""},
        // The buffer holds the path and its NUL exactly, or nothing is found.
        {module, "manual.htm", installed.size() + 1, installed},
        {module, "manual.htm", installed.size(), ""},
    };
    for (const auto &c : cases) {
        std::vector<char> found(c.size, 'x');
        int ok = InstalledDocument(c.module.c_str(), c.file.c_str(), found.data(), found.size());
        EXPECT_EQ(ok, !c.found.empty()) << c.module << " " << c.file << " " << c.size;
        if (ok) {
            EXPECT_EQ(std::string(found.data()), c.found);
        }
    }
    EXPECT_EQ(InstalledDocument(nullptr, "manual.htm", nullptr, 0), 0);
}

TEST_F(ViewCommands, AnaglyphColourValuesTruncateAndStayInTheirChannels)
{
    Load();
    host.hasCanvas = 0;
    const char *cases[][2] = {
        {"anaglyph 1 0 0 0 1 1", "MakeAnaglyph(0x0000FF, 0xFFFF00)"},
        {"anaglyph 0.5 0.5 0.5 0.5 0.5 0.5", "MakeAnaglyph(0x7F7F7F, 0x7F7F7F)"},
        {"anaglyph 0.25 0.999 0.004 red 1x 0", "MakeAnaglyph(0x01FE3F, 0x00FF00)"},
        // Outside 0 to 1: held to the channel, never carried into the next.
        {"anaglyph 0 1.5 0 2 -1 1e30", "MakeAnaglyph(0x00FF00, 0xFF00FF)"},
        {"anaglyph -0.5 nan inf -inf 0 -0", "MakeAnaglyph(0xFF0000, 0x000000)"},
    };
    for (const auto &[line, expected] : cases) {
        ClearRecords();
        EXPECT_EQ(Run(line), "") << line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{expected, "RefreshCanvas(0, 0)"})) << line;
    }
}

TEST_F(ViewCommands, TokenCountsAndNoCanvasGate)
{
    Load();
    host.hasCanvas = host.isModeling = 0;
    const std::pair<const char *, const char *> accepted[] = {
        {"copy", "CopyCanvas()"}, {"stop", "StopRun(none, 0, 0)"}, {"stop finished", "StopRun(\"finished\", 0, 0)"}};
    for (const auto &[line, call] : accepted) {
        ClearRecords();
        EXPECT_EQ(Run(line), "") << line;
        EXPECT_EQ(host.calls, std::vector<std::string>{call}) << line;
    }
    for (const char *line : {"help me", "copy now", "stop a b", "anaglyph 1 0 0 0 1", "anaglyph 1 0 0 0 1 1 1"}) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! Wrong number of tokens") << line;
        EXPECT_TRUE(host.calls.empty()) << line;
    }
    EXPECT_TRUE(Opened(300ms).empty()) << "help with a token too many opened the manual";
}

}
