#include "app/console/command_window.h"
#include "app/console/dot_commands.h"
#include "app/console/keyboard_lines.h"
#include "app/console/line_editing.h"
#include "app/process/interrupt.h"
#include "app/process/line_reader.h"
#include "app/script/command_forms.h"

#include <readline/readline.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

namespace tesselin {

namespace {

// One line from the person at the keyboard or from a pipe; none at the end
// of input (or when reading stopped).
std::optional<std::string> NextLine(KeyboardLines *keyboard, LineReader &piped)
{
    if (keyboard)
        return keyboard->Next();
    auto line = piped.Next();
    if (!line)
        return std::nullopt;
    return std::string(*line);
}

// Every keyword, wrapped to the width of a terminal.
void ListKeywords()
{
    std::string line = "Commands:";
    for (const CommandInfo &command : Commands()) {
        if (line.size() + command.keyword.size() > 78) {
            std::fprintf(stderr, "%s\n", line.c_str());
            line = "   ";
        }
        line += " " + std::string(command.keyword);
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

// .help alone, or the forms of the command named by keyword.
void ShowHelp(const std::string &keyword)
{
    if (keyword.empty()) {
        std::fprintf(stderr, "Type a command and press Enter, e.g.  canvas 400 300 persp 30 1 100 10\n"
                             "Window commands:\n%s",
                     WindowCommandsHelp().c_str());
        ListKeywords();
        return;
    }
    if (const CommandInfo *command = FindCommand(keyword)) {
        std::fprintf(stderr, "%s: %s\n%s", keyword.c_str(), std::string(command->summary).c_str(),
                     command->FormsPage().c_str());
        return;
    }
    std::string_view near = NearestKeyword(keyword);
    std::fprintf(stderr, "\"%s\" is not a command%s%s%s\n", keyword.c_str(), near.empty() ? "" : "; did you mean \"",
                 std::string(near).c_str(), near.empty() ? "" : "\"?");
}

// A line starting with '.': true when the window should close.
bool WindowCommand(Session &session, const std::string &line)
{
    std::istringstream words(line);
    std::string name, argument, extra;
    words >> name >> argument >> extra;
    const WindowCommandInfo *command = FindWindowCommand(name);
    if (!command || (command->argument == WindowArgument::File && (argument.empty() || !extra.empty()))) {
        std::fprintf(stderr, "Window commands: %s\n", WindowCommandsList().c_str());
        return false;
    }
    bool saved = false;
    switch (command->action) {
    case WindowAction::Quit:
        return true;
    case WindowAction::Help:
        ShowHelp(argument);
        return false;
    case WindowAction::Save:
        saved = session.WriteWindow(argument);
        break;
    case WindowAction::SaveRight:
        saved = session.WriteRight(argument);
        break;
    case WindowAction::SavePair:
        saved = session.WriteSideBySide(argument);
        break;
    case WindowAction::Export:
        if (session.ExportModel(argument))
            std::fprintf(stderr, "Exported %s\n", argument.c_str());
        return false;
    }
    if (saved)
        std::fprintf(stderr, "Saved %s\n", argument.c_str());
    return false;
}

// Line editing, completion and the history, for a person at the keyboard.
struct Keyboard {
    std::optional<KeyboardLines> lines;
    std::optional<History> history;
    bool toldTooLongToKeep = false;
};

void Remember(Keyboard &keyboard, const std::string &line)
{
    if (!keyboard.history || keyboard.history->Add(line) || std::exchange(keyboard.toldTooLongToKeep, true))
        return;
    std::fprintf(stderr, "Note: a line over %zu KiB runs but is not kept in the history (said once).\n",
                 History::LongestKept / 1024);
}

void OpenKeyboard(Keyboard &keyboard, Session &session)
{
    keyboard.lines.emplace("tesselin> ");
    InstallCompletion();
    keyboard.history.emplace(HistoryFileFromEnvironment());
    if (!keyboard.history->Problem().empty())
        std::fprintf(stderr, "Warning: %s\n", keyboard.history->Problem().c_str());
    std::fprintf(stderr, "%s command window (tesselin %s, %s). Type .help for help, .quit to leave.\n",
                 session.DisplayName().c_str(), TESSELIN_VERSION, session.Device().Renderer().c_str());
}

enum class After { Next, Leave, Interrupted };

// Runs line number; what the window does next.
After RunLine(Session &session, const std::string &line, bool terminal, int number)
{
    std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '.')
        return WindowCommand(session, line.substr(first)) ? After::Leave : After::Next;
    // At the keyboard the line is right above its answer; from a pipe
    // the answer says which line it was.
    session.RunLine(line, terminal ? std::string() : "stdin:" + std::to_string(number));
    if (TakeInterrupt()) {
        if (!terminal)
            return After::Interrupted;
        std::fprintf(stderr, "Interrupted; the session and its pictures are kept.\n");
    }
    return session.Stopped() ? After::Leave : After::Next;
}

// The exit status once the window closed after line number.
int Close(Session &session, bool terminal, bool interrupted, int number, const LineReader &piped)
{
    if (terminal)
        std::fputc('\n', stderr);
    if (interrupted) {
        std::fprintf(stderr, "tesselin: interrupted; the commands after stdin:%d were not run\n", number);
        return 130;
    }
    if (std::string error = piped.Error(); !error.empty())
        session.InputFailed("stdin:" + std::to_string(number + 1), error);
    else
        session.EndOfInput(terminal ? std::string() : "stdin");
    return session.ExitStatus();
}

} // namespace

int CommandWindow(Session &session)
{
    bool terminal = isatty(STDIN_FILENO);
    Keyboard keyboard;
    if (terminal)
        OpenKeyboard(keyboard, session);
    LineReader piped(STDIN_FILENO);
    // While a pipe is quiet, the idle hook the line editor has at the
    // keyboard (the canvas window's events) runs too.
    if (!terminal && rl_event_hook)
        piped.SetIdle([] { rl_event_hook(); });
    After after = After::Next;
    int number = 0;
    while (after == After::Next) {
        auto line = NextLine(keyboard.lines ? &*keyboard.lines : nullptr, piped);
        // A pipe's commands are a script: an interrupt stops it, even when
        // more lines have already arrived.
        if (!terminal && InterruptPending()) {
            after = After::Interrupted;
            break;
        }
        if (!line)
            break;
        // A line over the limit was never held: it is refused, and kept out
        // of the history.
        if (keyboard.lines ? keyboard.lines->TooLong() : piped.TooLong()) {
            session.RefuseLongLine(terminal ? std::string() : "stdin:" + std::to_string(++number));
            continue;
        }
        Remember(keyboard, *line);
        after = RunLine(session, *line, terminal, ++number);
    }
    return Close(session, terminal, after == After::Interrupted, number, piped);
}

} // namespace tesselin
