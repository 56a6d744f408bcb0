#include "app/script/tokenizer.h"

namespace tesselin {

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// What a backslash may keep literal: what a shell would need escaped.
bool Escapable(char c)
{
    static constexpr std::string_view Marks = " \t'\"\\()[]{}&;|<>!$`*?~#,=^";
    return Marks.find(c) != std::string_view::npos;
}

} // namespace

std::optional<std::vector<Token>> TokenizeLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::size_t first = 0;
    while (first < line.size() && Blank(line[first]))
        first++;
    if (first == line.size() || line[first] == '#')
        return std::nullopt;

    std::vector<Token> tokens;
    Token token;
    bool inToken = false, doubleQuoted = false;
    auto begin = [&](std::size_t at) {
        if (!inToken)
            token.column = static_cast<int>(at) + 1;
        inToken = true;
    };
    for (std::size_t i = first; i < line.size(); i++) {
        char c = line[i];
        if (c == '"') {
            begin(i);
            doubleQuoted = !doubleQuoted;
        } else if (doubleQuoted) {
            token.text += c;
        } else if (Blank(c)) {
            if (inToken) {
                token.width = static_cast<int>(i) + 1 - token.column;
                tokens.push_back(std::move(token));
            }
            token = Token{};
            inToken = false;
        } else if (c == '\'' && !inToken && line.find('\'', i + 1) != std::string_view::npos) {
            begin(i);
            std::size_t close = line.find('\'', i + 1);
            token.text.append(line.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '\\' && i + 1 < line.size() && Escapable(line[i + 1])) {
            begin(i);
            token.text += line[++i];
        } else {
            begin(i);
            token.text += c;
        }
    }
    if (inToken) {
        token.width = static_cast<int>(line.size()) + 1 - token.column;
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::vector<std::string> TokenTexts(const std::vector<Token> &tokens)
{
    std::vector<std::string> texts;
    texts.reserve(tokens.size());
    for (const Token &token : tokens)
        texts.push_back(token.text);
    return texts;
}

} // namespace tesselin
