// How much a message of the host's own matters. The severity decides whether
// the run counts as failed; the text is shown after the severity's prefix.
#ifndef TESSELIN_APP_PROCESS_MESSAGE_H
#define TESSELIN_APP_PROCESS_MESSAGE_H

#include <string>
#include <string_view>

namespace tesselin {

enum class Severity {
    Error,   // something asked for was not done; the run fails
    Warning, // done differently from what was asked
    Hint,    // advice on what the person may have missed
    Note,    // information only
};

// The line shown: "Error! text", "Warning: text", "Hint: text", or the text alone.
inline std::string MessageLine(Severity severity, std::string_view text)
{
    const char *prefix = severity == Severity::Error     ? "Error! "
                         : severity == Severity::Warning ? "Warning: "
                         : severity == Severity::Hint    ? "Hint: "
                                                         : "";
    return prefix + std::string(text);
}

} // namespace tesselin

#endif
