#include "app/script/script.h"
#include "app/script/tokenizer.h"

namespace tesselin {

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line)
{
    auto tokens = TokenizeLine(line);
    if (!tokens)
        return std::nullopt;
    return TokenTexts(*tokens);
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
