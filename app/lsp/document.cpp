#include "app/lsp/document.h"

#include <algorithm>

namespace tesselin::lsp {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Bytes of the UTF-8 sequence lead starts, and the UTF-16 units it makes.
// A byte that starts no sequence counts as one byte and one unit, as a
// decoder that replaces it would show it.
int SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

Document::Document(std::string text) : text_(std::move(text))
{
    for (std::size_t start = 0;;) {
        std::size_t end = text_.find('\n', start);
        std::size_t length = (end == std::string::npos ? text_.size() : end) - start;
        if (length > 0 && text_[start + length - 1] == '\r')
            length--;
        lines_.emplace_back(start, length);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

std::string_view Document::Line(int number) const
{
    if (number < 0 || number >= LineCount())
        return {};
    return std::string_view(text_).substr(lines_[number].first, lines_[number].second);
}

std::string Document::LineForTokens(int number) const
{
    std::string line(Line(number));
    if (number == 0 && line.starts_with(ByteOrderMark))
        line.replace(0, ByteOrderMark.size(), ByteOrderMark.size(), ' ');
    return line;
}

std::optional<std::vector<Token>> Document::Tokens(int number) const { return TokenizeLine(LineForTokens(number)); }

int Document::Character(int number, std::size_t byte) const
{
    std::string_view line = Line(number);
    int units = 0;
    for (std::size_t i = 0; i < line.size() && i < byte;) {
        int length = SequenceLength(static_cast<unsigned char>(line[i]));
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

std::size_t Document::Byte(int number, int character) const
{
    std::string_view line = Line(number);
    std::size_t i = 0;
    for (int units = 0; i < line.size();) {
        int length = SequenceLength(static_cast<unsigned char>(line[i]));
        units += length == 4 ? 2 : 1;
        if (units > character)
            break;
        i += length;
    }
    return std::min(i, line.size());
}

Range Document::TokenRange(int number, const Token &token) const
{
    std::size_t first = static_cast<std::size_t>(token.column - 1);
    return {{number, Character(number, first)}, {number, Character(number, first + token.width)}};
}

Range Document::LineRange(int number) const
{
    return {{number, 0}, {number, Character(number, Line(number).size())}};
}

} // namespace tesselin::lsp
