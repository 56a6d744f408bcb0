// The command window's line editing: history kept between sessions in the
// user's state folder, and Tab completing keywords and file names.
#ifndef TESSELIN_APP_CONSOLE_LINE_EDITING_H
#define TESSELIN_APP_CONSOLE_LINE_EDITING_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin {

// Where the history is kept: $XDG_STATE_HOME/tesselin/history when that is an
// absolute path, else $HOME/.local/state/tesselin/history; none without either.
std::optional<std::filesystem::path> HistoryFile(const char *stateHome, const char *home);
std::optional<std::filesystem::path> HistoryFileFromEnvironment();

// What Tab completes for the word that begins after before (the line up to
// that word): the first word of a line is a keyword or a window command; the
// file token of picture and arrayf, and the file of a window command that
// takes one, a file name; the word after .help a keyword.
enum class Completion { Nothing, Keyword, WindowCommand, FileName };
Completion WhatToComplete(std::string_view before, std::string_view word);

// The candidates for a word, in the order they are offered.
std::vector<std::string> KeywordsStartingWith(std::string_view prefix);
std::vector<std::string> WindowCommandsStartingWith(std::string_view prefix);

// The lines typed so far, kept in file (when given) and read back from it.
// One at a time: readline's history is the process's own.
class History {
public:
    static constexpr int Kept = 1000;
    // A longer line is run but not kept: a thousand pasted lines of
    // megabytes would make a history of gigabytes, held and read back whole.
    static constexpr std::size_t LongestKept = 64 * 1024;
    explicit History(std::optional<std::filesystem::path> file);
    ~History();
    History(const History &) = delete;
    History &operator=(const History &) = delete;

    // Remembers a typed line, at once in the file too; blank lines and a line
    // equal to the one before are not kept. False when the line was longer
    // than LongestKept.
    bool Add(const std::string &line);
    // Why the file could not be used, if it could not.
    const std::string &Problem() const { return problem_; }

private:
    std::optional<std::filesystem::path> file_;
    std::string problem_;
};

// Turns Tab completion on for readline.
void InstallCompletion();

} // namespace tesselin

#endif
