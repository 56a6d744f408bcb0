#include "app/console/line_editing.h"
#include "app/console/dot_commands.h"
#include "app/script/command_forms.h"
#include "app/script/tokenizer.h"

#include <readline/history.h>
#include <readline/readline.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tesselin {

namespace {

bool FileToken(std::string_view keyword, std::size_t index)
{
    const CommandInfo *command = FindCommand(keyword);
    if (!command)
        return false;
    for (const Form &form : command->forms) {
        const TokenSpec *spec = form.TokenAt(static_cast<int>(index));
        if (spec && (spec->kind == TokenKind::PictureFile || spec->kind == TokenKind::NumberFile))
            return true;
    }
    return false;
}

} // namespace

std::optional<std::filesystem::path> HistoryFile(const char *stateHome, const char *home)
{
    // Relative values are to be ignored, as the base directory convention says.
    if (stateHome && *stateHome && std::filesystem::path(stateHome).is_absolute())
        return std::filesystem::path(stateHome) / "tesselin" / "history";
    if (home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "tesselin" / "history";
    return std::nullopt;
}

std::optional<std::filesystem::path> HistoryFileFromEnvironment()
{
    return HistoryFile(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

Completion WhatToComplete(std::string_view before, std::string_view word)
{
    auto tokens = TokenizeLine(before);
    if (!tokens || tokens->empty()) {
        // A line beginning with # is a comment: nothing to complete in it.
        if (before.find('#') != std::string_view::npos)
            return Completion::Nothing;
        return !word.empty() && word[0] == '.' ? Completion::WindowCommand : Completion::Keyword;
    }
    const std::string &first = tokens->front().text;
    const std::size_t index = tokens->size();
    if (const WindowCommandInfo *command = FindWindowCommand(first)) {
        if (index > 1 || command->argument == WindowArgument::None)
            return Completion::Nothing;
        return command->argument == WindowArgument::File ? Completion::FileName : Completion::Keyword;
    }
    return FileToken(first, index) ? Completion::FileName : Completion::Nothing;
}

std::vector<std::string> KeywordsStartingWith(std::string_view prefix)
{
    std::vector<std::string> found;
    for (const CommandInfo &command : Commands())
        if (command.keyword.starts_with(prefix))
            found.emplace_back(command.keyword);
    return found;
}

std::vector<std::string> WindowCommandsStartingWith(std::string_view prefix)
{
    std::vector<std::string> found;
    for (const WindowCommandInfo &command : WindowCommands())
        for (std::string_view name : {command.name, command.alias})
            if (!name.empty() && name.starts_with(prefix))
                found.emplace_back(name);
    return found;
}

namespace {

// Opens the history file for appending, made if missing, never through a
// symbolic link: readline rewrites the file when it trims it, which would
// change whatever file a link names. -1 with the reason in problem when the
// file is not one the history may use.
int OpenHistoryFile(const std::filesystem::path &file, std::string &problem)
{
    // Non-blocking, so that a FIFO at the path cannot hold the window up.
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        problem = errno == ELOOP ? "it is a symbolic link, which is not followed" : std::strerror(errno);
        return -1;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = "it is not a regular file";
        ::close(fd);
        return -1;
    }
    // Typed lines may name private files: the history is the user's alone,
    // also when it was made before with a wider mode.
    if ((status.st_mode & 07777) != 0600 && fchmod(fd, 0600) != 0) {
        problem = std::string("its mode cannot be made 0600: ") + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

History::History(std::optional<std::filesystem::path> file) : file_(std::move(file))
{
    using_history();
    stifle_history(Kept);
    if (!file_)
        return;
    std::error_code status;
    std::filesystem::create_directories(file_->parent_path(), status);
    std::string reason;
    int made = OpenHistoryFile(*file_, reason);
    if (made < 0) {
        problem_ = "the command history cannot be kept in " + file_->string() + ": " + reason;
        file_.reset();
        return;
    }
    ::close(made);
    read_history(file_->c_str());
}

History::~History()
{
    if (file_)
        history_truncate_file(file_->c_str(), Kept);
}

bool History::Add(const std::string &line)
{
    if (line.size() > LongestKept)
        return false;
    if (line.find_first_not_of(" \t") == std::string::npos)
        return true;
    if (history_length > 0) {
        if (HIST_ENTRY *last = history_get(history_base + history_length - 1); last && line == last->line)
            return true;
    }
    add_history(line.c_str());
    // Written at once, so a window that is killed keeps what was typed.
    if (file_)
        append_history(1, file_->c_str());
    return true;
}

namespace {

std::vector<std::string> Candidates;
std::size_t NextCandidate = 0;

char *OfferCandidate(const char *, int state)
{
    if (state == 0)
        NextCandidate = 0;
    if (NextCandidate >= Candidates.size())
        return nullptr;
    return strdup(Candidates[NextCandidate++].c_str());
}

char **Complete(const char *word, int start, int)
{
    rl_attempted_completion_over = 1;
    std::string_view line(rl_line_buffer);
    // Inside a quote, readline's word begins after the quote character.
    std::size_t end = static_cast<std::size_t>(start);
    if (rl_completion_quote_character && end > 0)
        end--;
    switch (WhatToComplete(line.substr(0, std::min(end, line.size())), word)) {
    case Completion::Keyword:
        Candidates = KeywordsStartingWith(word);
        break;
    case Completion::WindowCommand:
        Candidates = WindowCommandsStartingWith(word);
        break;
    case Completion::FileName:
        return rl_completion_matches(word, rl_filename_completion_function);
    case Completion::Nothing:
        return nullptr;
    }
    return Candidates.empty() ? nullptr : rl_completion_matches(word, OfferCandidate);
}

} // namespace

void InstallCompletion()
{
    rl_readline_name = "tesselin";
    rl_attempted_completion_function = Complete;
    // Words are split at blanks alone; a file name with spaces is quoted as
    // the command window reads it.
    rl_basic_word_break_characters = const_cast<char *>(" \t");
    rl_completer_word_break_characters = const_cast<char *>(" \t");
    rl_completer_quote_characters = "'\"";
    rl_filename_quote_characters = " \t'\"\\()";
}

} // namespace tesselin
