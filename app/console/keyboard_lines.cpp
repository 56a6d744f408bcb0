#include "app/console/keyboard_lines.h"
#include "app/process/interrupt.h"

#include <poll.h>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace tesselin {

namespace {

// What readline's line handler received; it has no room for a context.
bool LineDone = false;
std::optional<std::string> TypedLine;

void OnLine(char *text)
{
    std::unique_ptr<char, decltype(&std::free)> line(text, &std::free);
    LineDone = true;
    TypedLine.reset();
    // The command window keeps the history (see History in line_editing.h).
    if (line)
        TypedLine = std::string(line.get());
    // The prompt comes back only when the next line is asked for, after the
    // command's answer.
    rl_callback_handler_remove();
}

void AbandonLine()
{
    rl_free_line_state();
    rl_callback_sigcleanup();
    rl_replace_line("", 0);
    rl_crlf();
    rl_on_new_line();
    rl_redisplay();
}

} // namespace

KeyboardLines::KeyboardLines(std::string prompt) : prompt_(std::move(prompt))
{
    // Signals stay the program's own (see process/interrupt.h); readline's callback
    // interface lets the wait for a key be interrupted and the line dropped.
    rl_catch_signals = 0;
}

KeyboardLines::~KeyboardLines()
{
    if (!LineDone)
        rl_callback_handler_remove();
}

std::optional<std::string> KeyboardLines::Next()
{
    // A Ctrl-C between commands (during .save, say) had nothing to stop.
    TakeInterrupt();
    LineDone = false;
    TypedLine.reset();
    rl_callback_handler_install(prompt_.c_str(), OnLine);
    while (!LineDone) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        // A live canvas window (rl_event_hook) is looked after while the
        // keyboard is quiet.
        int ready = poll(&input, 1, rl_event_hook ? 100 : -1);
        if (ready == 0) {
            rl_event_hook();
            continue;
        }
        // The interrupt may have come while poll waited or just before: either
        // way the keys typed after it belong to a fresh line.
        if (TakeInterrupt())
            AbandonLine();
        if (ready < 0) {
            if (errno != EINTR)
                break;
            continue;
        }
        rl_callback_read_char();
    }
    if (!LineDone) {
        rl_callback_handler_remove();
        LineDone = true;
    }
    return TypedLine;
}

} // namespace tesselin
