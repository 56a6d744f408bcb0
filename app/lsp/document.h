// A script as an editor holds it: its lines, and the way between the byte
// columns the tokenizer counts and the UTF-16 code units the protocol counts.
#ifndef TESSELIN_APP_LSP_DOCUMENT_H
#define TESSELIN_APP_LSP_DOCUMENT_H

#include "app/script/tokenizer.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tesselin::lsp {

// A place in a document: line from 0, character in UTF-16 code units.
struct Position {
    int line = 0;
    int character = 0;
    bool operator==(const Position &) const = default;
};

struct Range {
    Position start, end;
    bool operator==(const Range &) const = default;
};

class Document {
public:
    explicit Document(std::string text = {});

    const std::string &Text() const { return text_; }
    int LineCount() const { return static_cast<int>(lines_.size()); }
    // Line number (from 0) without its line end; empty beyond the last.
    std::string_view Line(int number) const;
    // The line as the tokenizer reads it: a byte-order mark at the start of
    // the document turned into blanks, so that byte columns stay in place.
    std::string LineForTokens(int number) const;
    std::optional<std::vector<Token>> Tokens(int number) const;

    // UTF-16 units before byte index in line number, and back (a character
    // inside a surrogate pair or past the end goes to the nearest byte that
    // starts a character, at most the line's length).
    int Character(int number, std::size_t byte) const;
    std::size_t Byte(int number, int character) const;
    // The range a token covers on line number.
    Range TokenRange(int number, const Token &token) const;
    Range LineRange(int number) const;

private:
    std::string text_;
    // Where each line starts in text_ and how long it is: offsets, not views,
    // so that a moved document (its text in the small-string buffer) is whole.
    std::vector<std::pair<std::size_t, std::size_t>> lines_;
};

} // namespace tesselin::lsp

#endif
