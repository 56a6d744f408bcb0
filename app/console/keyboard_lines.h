// Room console/ (floor 6): the command window: lines typed with editing and
// history (readline, built apart as tesselin_line_editing) and the window a
// prompt session draws in. May include view/ and the floors below.
//
// Lines typed at the keyboard, with line editing and history (readline).
// Ctrl-C while typing abandons the line and gives a fresh prompt.
#ifndef TESSELIN_APP_CONSOLE_KEYBOARD_LINES_H
#define TESSELIN_APP_CONSOLE_KEYBOARD_LINES_H

#include <optional>
#include <string>

namespace tesselin {

class KeyboardLines {
public:
    explicit KeyboardLines(std::string prompt);
    ~KeyboardLines();
    KeyboardLines(const KeyboardLines &) = delete;
    KeyboardLines &operator=(const KeyboardLines &) = delete;

    // The next line typed; none at the end of input (Ctrl-D).
    std::optional<std::string> Next();
    // True when the line Next just gave was longer than MaxLineLength
    // (process/line_reader.h): it comes back empty, its rest dropped.
    bool TooLong() const;

private:
    std::string prompt_;
};

} // namespace tesselin

#endif
