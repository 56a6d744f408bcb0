// Lines from standard input when it is a pipe or a file, read straight from
// the descriptor (not through stdio's buffer) so that waiting for the next
// line can look after the canvas window too.
#ifndef TESSELIN_APP_PIPE_LINES_H
#define TESSELIN_APP_PIPE_LINES_H

#include <functional>
#include <optional>
#include <string>

namespace tesselin {

// The next line without its '\n' (a last line without one counts); none at
// the end of input. While nothing arrives, idle (when given) runs about ten
// times a second.
std::optional<std::string> NextPipeLine(const std::function<void()> &idle);

} // namespace tesselin

#endif
