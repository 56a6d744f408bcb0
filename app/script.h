// The command window's reading of a line.
#ifndef TESSELIN_APP_SCRIPT_H
#define TESSELIN_APP_SCRIPT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin {

// The tokens of a command line, split at spaces and tabs; a double-quoted
// part may hold spaces and its quotes are removed ("" is an empty token).
// None for a line that is skipped: blank, or starting with '#' after blanks.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);

// The lines of a script, line ends (LF or CR LF) removed.
std::vector<std::string_view> ScriptLines(std::string_view text);

} // namespace tesselin

#endif
