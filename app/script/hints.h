// What the host can tell a person about a command line beyond the plug-in's
// own answer: a word that is no command, a count that fits no form, a word
// where a number belongs, a file that is not there. Each finding names the
// token it is about by its column.
#ifndef TESSELIN_APP_SCRIPT_HINTS_H
#define TESSELIN_APP_SCRIPT_HINTS_H

#include "app/script/tokenizer.h"

#include "app/process/message.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin {

struct Finding {
    Severity severity = Severity::Hint;
    int column = 0; // of the token it is about, counted from 1
    std::string text;
};

// where:COLUMN: Warning: text (where is FILE:LINE), or the text alone when
// where is empty (a line typed at the keyboard stands right above it).
std::string FormatFinding(const std::string &where, const Finding &finding);

// What the tokens show on their own: an unknown keyword, a count that fits no
// form, and, in a form that fits, words where numbers belong, numbers where a
// choice word belongs, and choice words in the wrong capitals. At most one
// finding about the keyword or the count, then one per token.
std::vector<Finding> ExamineTokens(const std::vector<Token> &tokens);

// The one line of help the host adds after the plug-in's answer to tokens
// (answer empty for success), or none when it has nothing to add.
std::optional<Finding> HelpAfterAnswer(const std::vector<Token> &tokens, std::string_view answer);

// The files a command line names, looked for as the plug-in would look from
// directory: a picture that is not there, an absolute path in relative mode,
// a number file that cannot be opened or holds other things than numbers, a
// selection of no number at all.
// A number file's reading as arrayf splits it: how many tokens it holds and
// the first that is not a number, with its place.
struct NumberFileScan {
    long long tokens = 0;
    std::string badToken;
    long long badLine = 0, badColumn = 0;
};
// Scans of number files by full path, so that a script reading several
// columns of one file reads it once.
using NumberFileScans = std::map<std::string, NumberFileScan>;

std::vector<Finding> ExamineFiles(const std::vector<Token> &tokens, const std::filesystem::path &directory,
                                  NumberFileScans *scans = nullptr);

// Whether text reads whole as a number (atof) or a whole number (atoi).
bool IsNumber(std::string_view text);
bool IsWholeNumber(std::string_view text);

} // namespace tesselin

#endif
