// The 42 commands of the plug-in as the host explains them: each keyword, the
// gate it stands behind, and the forms it is written in (how many tokens, and
// what each token is). The help lines after a message, `tesselin check`, Tab
// completion and `.help KEYWORD` all read this one table.
#ifndef TESSELIN_APP_SCRIPT_COMMAND_FORMS_H
#define TESSELIN_APP_SCRIPT_COMMAND_FORMS_H

#include <span>
#include <string>
#include <string_view>

namespace tesselin {

// What a token is, which says how the plug-in reads it.
enum class TokenKind {
    Integer,     // read with atoi: text that is not a whole number reads as its prefix, or 0
    Number,      // read with atof: text that is not a number reads as its prefix, or 0
    Word,        // compared with one special word, exactly; any other text is the other choice
    Text,        // used as written
    PictureFile, // a picture's path, absolute or taken from the current directory by the mode token before it
    NumberFile,  // a number file's path, opened as written
};

// The gate a keyword stands behind in the plug-in's dispatch order.
enum class Gate { None, Canvas, Modeling };

struct TokenSpec {
    std::string_view name; // as the forms show it
    TokenKind kind;
    // For a Word: the one text that chooses, and what any other text means.
    std::string_view special = {};
    std::string_view otherwise = {};
};

struct Form {
    std::string_view purpose;
    std::span<const TokenSpec> tokens; // after the keyword
    // A form may end in a run of tokens of one kind: at least tailMin of them.
    bool hasTail = false;
    TokenSpec tail = {};
    int tailMin = 0;
    std::string_view tailShown = {}; // how the run is written, e.g. "X1 Y1 X2 Y2 ..."

    bool Accepts(int count) const;
    // The kind of token index (1 for the first after the keyword); none beyond the form.
    const TokenSpec *TokenAt(int index) const;
    std::string Written(std::string_view keyword) const;
};

struct CommandInfo {
    std::string_view keyword;
    Gate gate;
    std::span<const Form> forms;
    std::string_view summary;

    bool Accepts(int count) const;
    // The form a line of count tokens is written in: the first that accepts it.
    const Form *FormFor(int count) const;
    // "canvas WIDTH HEIGHT | canvas WIDTH HEIGHT SHIFT | ..."
    std::string FormsLine() const;
    // Every form on a line of its own with its purpose, for .help KEYWORD.
    std::string FormsPage() const;
    // The largest count any form accepts; none when a form takes a run.
    int MostTokens() const;
};

// The 42 commands in the plug-in's dispatch order.
std::span<const CommandInfo> Commands();
const CommandInfo *FindCommand(std::string_view keyword);
// The keyword nearest to word when it is close enough to be a slip of the
// keyboard (capitals, one or two letters wrong, missing, extra or swapped);
// empty when none is.
std::string_view NearestKeyword(std::string_view word);

} // namespace tesselin

#endif
