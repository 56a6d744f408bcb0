#include "app/process/message.h"

#include <cstdio>

namespace tesselin {

std::string_view SeverityPrefix(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return "Error! ";
    case Severity::Warning:
        return "Warning: ";
    case Severity::Hint:
        return "Hint: ";
    case Severity::Note:
        return "Note: ";
    case Severity::Report:
        break;
    }
    return "";
}

std::string MessageLine(Severity severity, std::string_view text)
{
    std::string line(SeverityPrefix(severity));
    return line.append(text);
}

void StderrSink::Line(const std::string &text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace tesselin
