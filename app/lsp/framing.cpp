#include "app/lsp/framing.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tesselin::lsp {

namespace {

// A header line is short; one longer than this is no header.
constexpr std::size_t LongestHeaderLine = 4096;

// The next header line without its CR LF; false at the end of input.
bool HeaderLine(std::istream &in, std::string &line, bool &tooLong)
{
    line.clear();
    tooLong = false;
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        if (line.size() < LongestHeaderLine)
            line += static_cast<char>(c);
        else
            tooLong = true;
    }
    return false;
}

bool NameIs(std::string_view line, std::string_view name)
{
    if (line.size() <= name.size() || line[name.size()] != ':')
        return false;
    return std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

// The length a Content-Length header gives, or -1 when it is no length.
long long ContentLength(std::string_view value)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
    long long length = -1;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (error != std::errc() || end != value.data() + value.size() || length < 0)
        return -1;
    return length;
}

} // namespace

Framed ReadMessage(std::istream &in, std::string &body, std::size_t largest)
{
    long long length = -1;
    bool malformed = false, any = false;
    std::string line;
    bool tooLong = false;
    for (;;) {
        if (!HeaderLine(in, line, tooLong))
            return any ? Framed::Malformed : Framed::End;
        if (line.empty() && !tooLong) {
            if (!any)
                continue; // blank lines between messages
            break;
        }
        any = true;
        if (tooLong)
            malformed = true;
        else if (NameIs(line, "Content-Length"))
            length = ContentLength(std::string_view(line).substr(15));
    }
    if (malformed || length < 0)
        return Framed::Malformed;
    if (static_cast<unsigned long long>(length) > largest) {
        in.ignore(length);
        return Framed::TooLarge;
    }
    body.resize(static_cast<std::size_t>(length));
    in.read(body.data(), length);
    if (in.gcount() != length)
        return Framed::End;
    return Framed::Message;
}

void WriteMessage(std::ostream &out, std::string_view body)
{
    out << "Content-Length: " << body.size() << "\r\n\r\n" << body;
    out.flush();
}

} // namespace tesselin::lsp
