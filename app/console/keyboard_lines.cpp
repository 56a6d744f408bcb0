#include "app/console/keyboard_lines.h"
#include "app/process/interrupt.h"
#include "app/process/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

namespace tesselin {

namespace {

// What readline's line handler received; it has no room for a context.
bool LineDone = false;
std::optional<std::string> TypedLine;

// Keys come from the terminal in blocks: readline's own reading takes one
// read and two selects per byte, which made a pasted 10 MB line take over a
// minute. Bytes given to readline for the current line are counted, so that
// a line over MaxLineLength is dropped as it arrives instead of held.
struct KeyBlock {
    char bytes[64 * 1024];
    std::size_t start = 0, end = 0;
    std::size_t given = 0; // to readline since the line began
    bool tooLong = false;
};
KeyBlock Keys;

bool FillKeys()
{
    for (;;) {
        ssize_t n = read(STDIN_FILENO, Keys.bytes, sizeof Keys.bytes);
        if (n > 0) {
            Keys.start = 0;
            Keys.end = std::size_t(n);
            return true;
        }
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Past the limit, the rest of the line up to its end is read and dropped,
// and readline is handed an empty line to finish.
int DropLongLine()
{
    Keys.tooLong = true;
    rl_replace_line("", 0);
    for (;;) {
        if (Keys.start == Keys.end && !FillKeys())
            return EOF;
        char key = Keys.bytes[Keys.start++];
        if (key == '\r' || key == '\n')
            return '\r';
    }
}

int NextKey(FILE *)
{
    if (Keys.start == Keys.end && !FillKeys())
        return EOF;
    if (++Keys.given > MaxLineLength)
        return DropLongLine();
    return static_cast<unsigned char>(Keys.bytes[Keys.start++]);
}

int KeysWaiting() { return Keys.start < Keys.end; }

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
    rl_getc_function = NextKey;
    rl_input_available_hook = KeysWaiting;
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
    Keys.given = 0;
    Keys.tooLong = false;
    if (static bool initialized = false; !std::exchange(initialized, true)) {
        // The person's settings first (once the window has named itself for
        // them), so that this one wins: a pasted script runs line by line, as
        // from a pipe, instead of becoming one line with line ends in it.
        rl_initialize();
        rl_variable_bind("enable-bracketed-paste", "off");
    }
    rl_callback_handler_install(prompt_.c_str(), OnLine);
    while (!LineDone) {
        if (KeysWaiting()) {
            rl_callback_read_char();
            continue;
        }
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

bool KeyboardLines::TooLong() const { return Keys.tooLong; }

} // namespace tesselin
