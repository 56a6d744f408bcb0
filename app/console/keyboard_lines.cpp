#include "app/console/keyboard_lines.h"
#include "app/process/interrupt.h"
#include "app/process/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <readline/history.h>
#include <readline/readline.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
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

bool ReadyToRead(int timeoutMs)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, timeoutMs) > 0;
}

// Whether the next key is one typed into the line: a printable byte, or one
// of a UTF-8 character. Keys already at the terminal are fetched to see.
bool TextWaiting()
{
    if (rl_pending_input != 0)
        return false;
    if (!KeysWaiting() && !(ReadyToRead(0) && FillKeys()))
        return false;
    auto key = static_cast<unsigned char>(Keys.bytes[Keys.start]);
    return key >= ' ' && key != 0x7f;
}

// Readline redraws the whole line after every command, and a pasted line
// arrives a terminal buffer (4 KiB) per command: drawing each time made a
// paste of n bytes cost n * n / 4096, over a minute for 10 MB. So drawing
// waits while more text is waiting to go into the line, and after drawing a
// long line, for four times what that drawing took while keys keep coming:
// at most a fifth of the time goes to drawing. Keys that act on the screen
// as it stands (Enter, Tab, Ctrl-L) are never waiting text: the line is
// drawn before them. Drawing a short line takes microseconds, so typing
// sees every key at once.
struct Drawing {
    using Clock = std::chrono::steady_clock;
    bool behind = false; // the screen does not show the line as it is
    Clock::time_point next{}; // no drawing before then while keys come
};
Drawing Screen;

void Draw()
{
    auto begin = Drawing::Clock::now();
    rl_redisplay();
    auto end = Drawing::Clock::now();
    Screen.next = end + 4 * (end - begin);
    Screen.behind = false;
}

// How long drawing may still wait for more keys, in milliseconds.
int DrawingCanWait()
{
    auto left = Screen.next - Drawing::Clock::now();
    return int(std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

void PacedRedisplay()
{
    if (TextWaiting() || (rl_pending_input == 0 && !KeysWaiting() && DrawingCanWait() > 0)) {
        Screen.behind = true;
        return;
    }
    Draw();
}

// Before a key that is not text, the line as it is must be on the screen.
void CatchUpBeforeKey()
{
    if (Screen.behind && !TextWaiting())
        Draw();
}

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
    if (Screen.behind)
        Draw();
    rl_free_line_state();
    rl_callback_sigcleanup();
    rl_replace_line("", 0);
    rl_crlf();
    rl_on_new_line();
    rl_redisplay();
}

enum class Wait { Keys, Again, Failed };

// Waits for keys while the keyboard is quiet, looking after a live canvas
// window (rl_event_hook) and a drawing of the line that waits.
Wait WaitForKeys()
{
    int timeout = rl_event_hook ? 100 : -1;
    if (Screen.behind)
        timeout = timeout < 0 ? DrawingCanWait() : std::min(timeout, DrawingCanWait());
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&input, 1, timeout);
    if (ready == 0) {
        if (Screen.behind && DrawingCanWait() == 0)
            Draw();
        if (rl_event_hook)
            rl_event_hook();
        return Wait::Again;
    }
    // The interrupt may have come while poll waited or just before: either
    // way the keys typed after it belong to a fresh line.
    if (TakeInterrupt())
        AbandonLine();
    if (ready < 0)
        return errno == EINTR ? Wait::Again : Wait::Failed;
    return Wait::Keys;
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
    Screen = {};
    if (static bool initialized = false; !std::exchange(initialized, true)) {
        // The person's settings first (once the window has named itself for
        // them), so that this one wins: a pasted script runs line by line, as
        // from a pipe, instead of becoming one line with line ends in it.
        rl_initialize();
        rl_variable_bind("enable-bracketed-paste", "off");
        // Only now: readline takes a terminal with a drawing of the
        // program's own for one it need not know, and draws long lines
        // scrolled sideways on one screen line.
        rl_redisplay_function = PacedRedisplay;
    }
    rl_callback_handler_install(prompt_.c_str(), OnLine);
    while (!LineDone) {
        if (!KeysWaiting()) {
            Wait wait = WaitForKeys();
            if (wait == Wait::Failed)
                break;
            if (wait == Wait::Again)
                continue;
        }
        CatchUpBeforeKey();
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
