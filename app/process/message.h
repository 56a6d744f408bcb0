// Messages of the host's own: a severity and a text, and the one sink every
// message goes through. The severity decides whether the run counts as
// failed and which words the line begins with; this header holds the only
// table of those words.
#ifndef TESSELIN_APP_PROCESS_MESSAGE_H
#define TESSELIN_APP_PROCESS_MESSAGE_H

#include <string>
#include <string_view>

namespace tesselin {

enum class Severity {
    Error,   // something asked for was not done; the run fails
    Warning, // done differently from what was asked
    Hint,    // advice on what the person may have missed
    Note,    // information the person may not expect ("no -o given, so ...")
    Report,  // a plain account of what was done ("Copied ...", "Stopped"): the text alone
};

// The words a line of the severity begins with: "Error! ", "Warning: ",
// "Hint: ", "Note: ", or nothing for a report.
std::string_view SeverityPrefix(Severity severity);

// The line shown: the severity's prefix, then the text.
std::string MessageLine(Severity severity, std::string_view text);

// Where the messages for the person running the plug-in go, one line each.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A line as it is shown (the plug-in's own answers come so, already worded).
    virtual void Line(const std::string &text) = 0;
    // A message of the host's own, worded by its severity.
    void Message(Severity severity, std::string_view text) { Line(MessageLine(severity, text)); }
};

// Every line to the standard error, flushed at once.
class StderrSink final : public MessageSink {
public:
    void Line(const std::string &text) override;
};

} // namespace tesselin

#endif
