// The command window's history file and Tab completion, without a terminal.
#include "app/script/command_forms.h"
#include "app/console/dot_commands.h"
#include "app/console/line_editing.h"

#include <readline/history.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <functional>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using namespace tesselin;

TEST(HistoryFile, StateFolderFirstThenHome)
{
    EXPECT_EQ(HistoryFile("/state", "/home/me"), fs::path("/state/tesselin/history"));
    EXPECT_EQ(HistoryFile(nullptr, "/home/me"), fs::path("/home/me/.local/state/tesselin/history"));
    EXPECT_EQ(HistoryFile("", "/home/me"), fs::path("/home/me/.local/state/tesselin/history"));
    // A relative state folder is ignored, as the convention says.
    EXPECT_EQ(HistoryFile("state", "/home/me"), fs::path("/home/me/.local/state/tesselin/history"));
    EXPECT_EQ(HistoryFile(nullptr, nullptr), std::nullopt);
    EXPECT_EQ(HistoryFile("relative", ""), std::nullopt);
}

TEST(Completion, WhatTheWordBeforeTheCursorIs)
{
    const std::tuple<const char *, const char *, Completion> cases[] = {
        {"", "can", Completion::Keyword},
        {"   ", "", Completion::Keyword},
        {"", ".sa", Completion::WindowCommand},
        {"canvas ", "4", Completion::Nothing},
        {"picture l 0 0 1 rel ", "ph", Completion::FileName},
        {"picture l 0 0 1 ", "re", Completion::Nothing},
        {"picture l 0 0 1 rel 'My Photos/a.png' ", "", Completion::Nothing},
        {"picture  l\t0 0 1 abs ", "/ho", Completion::FileName},
        {"arrayf ", "da", Completion::FileName},
        {"arrayf data.txt ", "1", Completion::Nothing},
        {".save ", "ou", Completion::FileName},
        {".save-pair ", "", Completion::FileName},
        {".help ", "sph", Completion::Keyword},
        {".help sphere ", "", Completion::Nothing},
        {"# a comment ", "can", Completion::Nothing},
        {"unknown ", "x", Completion::Nothing},
    };
    for (const auto &[before, word, expected] : cases)
        EXPECT_EQ(WhatToComplete(before, word), expected) << "'" << before << "' + '" << word << "'";
}

TEST(Completion, KeywordCandidates)
{
    EXPECT_EQ(KeywordsStartingWith("").size(), 42u);
    EXPECT_EQ(KeywordsStartingWith("c"),
              (std::vector<std::string>{"copy", "canvas", "clear", "color", "cube", "cylinder"}));
    EXPECT_EQ(KeywordsStartingWith("arr"), (std::vector<std::string>{"array", "arrayf"}));
    EXPECT_EQ(KeywordsStartingWith("dot"), (std::vector<std::string>{"dot", "dots"}));
    EXPECT_TRUE(KeywordsStartingWith("C").empty()) << "keywords are lower case, and so is what completes them";
    EXPECT_TRUE(KeywordsStartingWith("zz").empty());
    EXPECT_EQ(WindowCommandsStartingWith(".save"), (std::vector<std::string>{".save", ".save-right", ".save-pair"}));
    EXPECT_EQ(WindowCommandsStartingWith(".q"), (std::vector<std::string>{".quit"}));
    EXPECT_EQ(WindowCommandsStartingWith(".ex"), (std::vector<std::string>{".export", ".exit"}));
    EXPECT_EQ(WindowCommandsStartingWith(".exi"), (std::vector<std::string>{".exit"}));
}

// Running, completing and .help read one list of window commands: every
// name and alias completes and is found, what follows it completes as what
// it takes, and the help lists each name once, in one column.
TEST(WindowCommands, CompletionAndHelpFollowTheList)
{
    std::vector<std::string> all = WindowCommandsStartingWith(".");
    std::string help = WindowCommandsHelp(), list = WindowCommandsList();
    for (const WindowCommandInfo &command : WindowCommands()) {
        Completion after = command.argument == WindowArgument::File      ? Completion::FileName
                           : command.argument == WindowArgument::Keyword ? Completion::Keyword
                                                                         : Completion::Nothing;
        for (std::string_view name : {command.name, command.alias}) {
            if (name.empty())
                continue;
            std::string word(name);
            EXPECT_EQ(std::count(all.begin(), all.end(), word), 1) << word;
            EXPECT_EQ(FindWindowCommand(name), &command) << word;
            EXPECT_EQ(WhatToComplete("", word.substr(0, 2)), Completion::WindowCommand) << word;
            EXPECT_EQ(WhatToComplete(word + " ", ""), after) << word;
            EXPECT_EQ(WhatToComplete(word + " a ", ""), Completion::Nothing) << word;
        }
        std::string row = "\n  " + std::string(command.name) + " ";
        EXPECT_NE(("\n" + help).find(row), std::string::npos) << command.name;
        EXPECT_NE(list.find(command.name), std::string::npos) << command.name;
        if (!command.alias.empty()) {
            EXPECT_EQ(help.find(command.alias), std::string::npos) << command.alias;
            EXPECT_EQ(list.find(command.alias), std::string::npos) << command.alias;
        }
    }
    EXPECT_EQ(all.size(), 7u); // six commands and .exit
    EXPECT_FALSE(FindWindowCommand(".sav"));
    EXPECT_FALSE(FindWindowCommand("save"));
    // Every row's text starts in the same column, after at least two blanks.
    std::istringstream rows(help);
    for (std::string line; std::getline(rows, line);) {
        ASSERT_GT(line.size(), 21u) << line;
        EXPECT_EQ(line.substr(0, 2), "  ") << line;
        EXPECT_EQ(line.substr(19, 2), "  ") << line;
        EXPECT_NE(line[21], ' ') << line;
    }
}

// A scratch state folder, removed at the end, with readline's history emptied.
struct StateFolder {
    fs::path path = fs::temp_directory_path() / ("tesselin-history-" + std::to_string(getpid()));
    fs::path file = path / "deep" / "tesselin" / "history";
    StateFolder()
    {
        fs::remove_all(path);
        clear_history();
    }
    ~StateFolder()
    {
        fs::remove_all(path);
        clear_history();
    }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

std::vector<std::string> InMemory()
{
    std::vector<std::string> lines;
    for (int i = 0; i < history_length; i++)
        if (HIST_ENTRY *entry = history_get(history_base + i))
            lines.push_back(entry->line);
    return lines;
}

TEST(History, KeptBetweenSessionsInAPrivateFile)
{
    StateFolder state;
    {
        History history(state.file);
        EXPECT_TRUE(history.Problem().empty()) << history.Problem();
        history.Add("canvas 400 300 persp 30 1 100 10");
        history.Add("canvas 400 300 persp 30 1 100 10"); // the same again is kept once
        history.Add("   ");                              // blank lines are not kept
        history.Add("picture l 0 0 1 rel 'My Photos/cat.jpg'");
        // Written at once: a window that is killed keeps what was typed.
        EXPECT_EQ(state.Lines().size(), 2u);
    }
    struct stat info {};
    ASSERT_EQ(stat(state.file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    clear_history();
    History again(state.file);
    EXPECT_EQ(InMemory(), (std::vector<std::string>{"canvas 400 300 persp 30 1 100 10",
                                                    "picture l 0 0 1 rel 'My Photos/cat.jpg'"}));
}

// A line up to the bound is kept like any other; a longer one is said to be
// not kept, and is in neither the session's history nor the file.
TEST(History, ALineOverTheBoundIsNotKept)
{
    const std::string bound = "# " + std::string(History::LongestKept - 2, 'x');
    const struct {
        std::string line;
        bool kept;
    } cases[] = {{bound, true}, {bound + "x", false}, {"sphere " + std::string(1 << 20, ' ') + "8 8 flat", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line.size());
        StateFolder state;
        {
            History history(state.file);
            history.Add("cube");
            EXPECT_EQ(history.Add(c.line), c.kept);
            EXPECT_EQ(InMemory().back(), c.kept ? c.line : "cube");
        }
        std::vector<std::string> lines = state.Lines();
        EXPECT_EQ(lines.size(), c.kept ? 2u : 1u);
        EXPECT_EQ(lines.back(), c.kept ? c.line : "cube");
    }
}

TEST(History, OnlyTheLastLinesAreKept)
{
    StateFolder state;
    {
        History history(state.file);
        for (int i = 0; i < History::Kept + 25; i++)
            history.Add("move " + std::to_string(i) + " 0 0");
    }
    std::vector<std::string> lines = state.Lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(History::Kept));
    EXPECT_EQ(lines.front(), "move 25 0 0");
    EXPECT_EQ(lines.back(), "move " + std::to_string(History::Kept + 24) + " 0 0");
}

TEST(History, AFolderThatCannotBeMadeIsReportedNotFatal)
{
    StateFolder state;
    fs::create_directories(state.path);
    std::ofstream(state.path / "deep") << "a file where a folder should be";
    History history(state.file);
    EXPECT_FALSE(history.Problem().empty());
    history.Add("cube"); // still remembered for this session
    EXPECT_EQ(InMemory(), std::vector<std::string>{"cube"});
}

// What may sit at the history's path: a link or anything but a regular file
// is reported and left alone (no history is kept in it), and an existing
// file is made private.
TEST(History, OnlyAPlainFileOfItsOwnIsUsed)
{
    struct Case {
        const char *name;
        std::function<void(const StateFolder &)> make;
        bool used;
    } cases[] = {
        {"a link to another file",
         [](const StateFolder &state) { fs::create_symlink(state.path / "other", state.file); }, false},
        {"a dangling link",
         [](const StateFolder &state) { fs::create_symlink(state.path / "nowhere", state.file); }, false},
        {"a FIFO", [](const StateFolder &state) { ASSERT_EQ(mkfifo(state.file.c_str(), 0644), 0); }, false},
        {"a folder", [](const StateFolder &state) { fs::create_directory(state.file); }, false},
        {"an existing 0644 file",
         [](const StateFolder &state) {
             std::ofstream(state.file) << "cube\n";
             chmod(state.file.c_str(), 0644);
         },
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StateFolder state;
        fs::create_directories(state.file.parent_path());
        // Another file of the user's, which a link must not let the history touch.
        fs::path other = state.path / "other";
        std::string otherText;
        for (int i = 0; i < History::Kept + 500; i++)
            otherText += "line " + std::to_string(i) + "\n";
        std::ofstream(other) << otherText;
        chmod(other.c_str(), 0644);
        c.make(state);
        {
            History history(state.file);
            EXPECT_EQ(history.Problem().empty(), c.used) << history.Problem();
            history.Add("sphere");
            EXPECT_EQ(InMemory().back(), "sphere"); // still remembered for this session
        }
        struct stat info {};
        ASSERT_EQ(stat(other.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0644u);
        std::ifstream in(other);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), otherText);
        if (c.used) {
            ASSERT_EQ(stat(state.file.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0600u);
            EXPECT_EQ(state.Lines(), (std::vector<std::string>{"cube", "sphere"}));
        }
    }
}

} // namespace
