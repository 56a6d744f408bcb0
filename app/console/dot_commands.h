// The command window's own commands, the lines that start with a dot: one
// list that running them, Tab completion and .help all read.
#ifndef TESSELIN_APP_CONSOLE_DOT_COMMANDS_H
#define TESSELIN_APP_CONSOLE_DOT_COMMANDS_H

#include <span>
#include <string>
#include <string_view>

namespace tesselin {

enum class WindowAction { Save, SaveRight, SavePair, Export, Help, Quit };

// What a window command takes after its name.
enum class WindowArgument {
    None,    // nothing; words after it are ignored
    File,    // exactly one file name
    Keyword, // perhaps a command's keyword
};

struct WindowCommandInfo {
    std::string_view name;
    // Another name for the same, that Tab offers but the help does not list.
    std::string_view alias;
    WindowAction action;
    WindowArgument argument;
    std::string_view help;            // what it does
    std::string_view helpWithKeyword; // what it does given a keyword
};

std::span<const WindowCommandInfo> WindowCommands();
// The command called word (by its name or alias), or none.
const WindowCommandInfo *FindWindowCommand(std::string_view word);

// The rows of .help that list the window commands, and the one-line list of
// them for a line that is none of them.
std::string WindowCommandsHelp();
std::string WindowCommandsList();

} // namespace tesselin

#endif
