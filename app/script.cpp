#include "app/script.h"

namespace tesselin {

namespace {
bool Blank(char c) { return c == ' ' || c == '\t'; }
} // namespace

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::size_t first = 0;
    while (first < line.size() && Blank(line[first]))
        first++;
    if (first == line.size() || line[first] == '#')
        return std::nullopt;
    std::vector<std::string> tokens;
    std::string token;
    bool inToken = false, quoted = false;
    for (std::size_t i = first; i < line.size(); i++) {
        char c = line[i];
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (Blank(c) && !quoted) {
            if (inToken)
                tokens.push_back(std::move(token));
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken)
        tokens.push_back(std::move(token));
    return tokens;
}

std::vector<std::string_view> ScriptLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace tesselin
