// Room script/ (floor 1): what the host knows about the script language: the
// one tokenizer, the table of command forms, the help after a message and
// tesselin check. Built alone as tesselin_diagnostics (no OpenGL, no
// terminal), so tests and language tools link it by itself. May
// include process/ only.
//
// How the host cuts a command line into the tokens handed to the plug-in.
#ifndef TESSELIN_APP_SCRIPT_TOKENIZER_H
#define TESSELIN_APP_SCRIPT_TOKENIZER_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin {

struct Token {
    std::string text;
    int column = 0; // of the token's first character, counted from 1
    int width = 0;  // bytes of the line it spans, quotes and escapes included
};

// The tokens of one line, split at spaces and tabs, as a shell would read a
// pasted path:
// - "..." keeps spaces; the quotes are removed and nothing inside is escaped
//   (so "C:\dir\" reads as written); "" is an empty token;
// - '...' at the start of a token keeps everything inside as written, when
//   the line closes it; an apostrophe within a word (don't) is a letter;
// - a backslash outside quotes keeps the next character as it is when that is
//   a blank, a quote, a backslash or a shell punctuation mark (My\ File\ \(1\));
//   before a letter, digit, dot or slash it is an ordinary character, so
//   Windows paths read as written.
// None for a line that is skipped: blank, or starting with '#' after blanks.
// A line end (LF or CR LF) at the end of line is ignored.
std::optional<std::vector<Token>> TokenizeLine(std::string_view line);

// The texts of the tokens alone.
std::vector<std::string> TokenTexts(const std::vector<Token> &tokens);

} // namespace tesselin

#endif
