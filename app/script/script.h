// The command window's reading of a line.
#ifndef TESSELIN_APP_SCRIPT_SCRIPT_H
#define TESSELIN_APP_SCRIPT_SCRIPT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin {

// The texts of a command line's tokens, as TokenizeLine (script/tokenizer.h)
// reads them; none for a line that is skipped.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);

// The lines of a script, line ends (LF or CR LF) removed.
std::vector<std::string_view> ScriptLines(std::string_view text);

} // namespace tesselin

#endif
