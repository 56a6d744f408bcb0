#include "app/script/hints.h"
#include "app/script/command_forms.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tesselin {

namespace {

constexpr std::size_t LongestWord = 60, LongestPath = 1024;

// Text from a script, in quotes, as it is safe to print: control characters
// (a terminal's escape sequences among them) written as \t or \xNN, and a
// long text cut short.
std::string Quoted(std::string_view text, std::size_t longest = LongestWord)
{
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < longest; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            shown += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (text.size() > longest)
        shown += "...";
    return shown + "\"";
}

// The value atof gives text, as a person would write it.
std::string AtofValue(const std::string &text)
{
    char value[64];
    std::snprintf(value, sizeof value, "%g", std::atof(text.c_str()));
    return value;
}

// The value atoi gives text, without atoi's undefined overflow.
std::string AtoiValue(const std::string &text)
{
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX || value < INT32_MIN)
        return "an undefined number (too large)";
    return std::to_string(value);
}

// Digits alone (with a sign), but beyond what atoi can hold.
bool OutOfRangeWhole(const std::string &text)
{
    std::size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

bool WindowCommand(std::string_view word)
{
    for (std::string_view known : {".save", ".save-right", ".save-pair", ".help", ".quit", ".exit"})
        if (word == known)
            return true;
    return false;
}

Finding UnknownWord(const Token &keyword)
{
    std::string text = Quoted(keyword.text) + " is not a command";
    if (WindowCommand(keyword.text))
        text += "; it belongs to the command window (tesselin without run), not to scripts";
    else if (std::string_view near = NearestKeyword(keyword.text); !near.empty())
        text += "; did you mean " + Quoted(near) + "?";
    return {Severity::Error, keyword.column, text};
}

Finding WrongCount(const CommandInfo &command, const std::vector<Token> &tokens)
{
    int count = static_cast<int>(tokens.size());
    int most = command.MostTokens();
    int column = count > most ? tokens[most].column : tokens[0].column;
    std::string after = std::to_string(count - 1) + (count == 2 ? " token" : " tokens");
    return {Severity::Error, column,
            Quoted(command.keyword) + " is written: " + command.FormsLine() + " (this line has " + after +
                " after the keyword)"};
}

std::optional<Finding> ExamineToken(const CommandInfo &command, const TokenSpec &spec, const Token &token)
{
    const std::string &text = token.text;
    std::string keyword(command.keyword);
    switch (spec.kind) {
    case TokenKind::Number:
        if (!IsNumber(text))
            return Finding{Severity::Warning, token.column,
                           Quoted(text) + " is not a number; " + keyword + " reads it as " + AtofValue(text)};
        break;
    case TokenKind::Integer:
        if (!IsWholeNumber(text))
            return Finding{Severity::Warning, token.column,
                           Quoted(text) + (OutOfRangeWhole(text) ? " is out of range (-2147483648 to 2147483647)"
                                                                 : " is not a whole number") +
                               "; " + keyword + " reads it as " + AtoiValue(text)};
        break;
    case TokenKind::Word: {
        if (text == spec.special)
            break;
        bool capitals = text.size() == spec.special.size();
        for (std::size_t i = 0; capitals && i < text.size(); i++)
            capitals = std::tolower(static_cast<unsigned char>(text[i])) == spec.special[i];
        if (capitals)
            return Finding{Severity::Warning, token.column,
                           Quoted(text) + " is not " + Quoted(spec.special) + " (capitals count), so " + keyword +
                               " reads it as " + std::string(spec.otherwise)};
        if (IsNumber(text))
            return Finding{Severity::Warning, token.column,
                           keyword + " expects " + std::string(spec.name) + " here, not the number " + Quoted(text) +
                               " (is a word missing?); it reads as " + std::string(spec.otherwise)};
        break;
    }
    case TokenKind::Text:
    case TokenKind::PictureFile:
    case TokenKind::NumberFile:
        break;
    }
    return std::nullopt;
}

Finding Hint(int column, std::string text) { return {Severity::Hint, column, std::move(text)}; }

} // namespace

std::string FormatFinding(const std::string &where, const Finding &finding)
{
    std::string line;
    // A finding about the whole line (column 0) names no column.
    if (!where.empty())
        line = where + (finding.column > 0 ? ":" + std::to_string(finding.column) : std::string()) + ": ";
    return line + MessageLine(finding.severity, finding.text);
}

bool IsNumber(std::string_view text)
{
    if (text.empty() || text.find_first_of(" \t\n\v\f\r") != std::string_view::npos)
        return false;
    // The common decimal forms at from_chars' speed; the rest (a leading +,
    // hexadecimal) as atof would read them.
    double value;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end == text.data() + text.size() && error != std::errc::invalid_argument)
        return true;
    std::string copy(text);
    char *stop = nullptr;
    std::strtod(copy.c_str(), &stop);
    return stop == copy.c_str() + copy.size();
}

bool IsWholeNumber(std::string_view text)
{
    std::string copy(text);
    char *end = nullptr;
    errno = 0;
    long long value = std::strtoll(copy.c_str(), &end, 10);
    return !copy.empty() && end == copy.c_str() + copy.size() && errno == 0 && value >= INT32_MIN &&
           value <= INT32_MAX && copy.find_first_of(" \t\n\v\f\r") == std::string::npos;
}

std::vector<Finding> ExamineTokens(const std::vector<Token> &tokens)
{
    std::vector<Finding> findings;
    if (tokens.empty())
        return findings;
    const CommandInfo *command = FindCommand(tokens[0].text);
    if (!command) {
        findings.push_back(UnknownWord(tokens[0]));
        return findings;
    }
    const Form *form = command->FormFor(static_cast<int>(tokens.size()));
    if (!form) {
        findings.push_back(WrongCount(*command, tokens));
        return findings;
    }
    for (std::size_t i = 1; i < tokens.size(); i++)
        if (const TokenSpec *spec = form->TokenAt(static_cast<int>(i)))
            if (auto finding = ExamineToken(*command, *spec, tokens[i]))
                findings.push_back(std::move(*finding));
    return findings;
}

std::optional<Finding> HelpAfterAnswer(const std::vector<Token> &tokens, std::string_view answer)
{
    if (tokens.empty())
        return std::nullopt;
    const Token &keyword = tokens[0];
    const CommandInfo *command = FindCommand(keyword.text);
    const bool gate = answer == "Error! No canvas" || answer == "Error! Modeling not begun";
    if (!command && (gate || answer == "Error! A wrong token"))
        return Hint(keyword.column, UnknownWord(keyword).text);
    if (!command)
        return std::nullopt;
    const std::string name = Quoted(command->keyword);
    if (answer.empty()) {
        auto findings = ExamineTokens(tokens);
        if (findings.empty())
            return std::nullopt;
        Finding first = findings.front();
        if (findings.size() > 1)
            first.text += " (and " + std::to_string(findings.size() - 1) + " more on this line)";
        return first;
    }
    if (answer == "Error! Wrong number of tokens" && !command->Accepts(static_cast<int>(tokens.size()))) {
        Finding count = WrongCount(*command, tokens);
        return Hint(count.column, count.text);
    }
    if (answer == "Error! No canvas")
        return Hint(keyword.column, name + " needs a canvas; make one first, e.g. canvas 400 300");
    if (answer == "Error! Modeling not begun")
        return Hint(keyword.column,
                    name + " draws in 3D; make a 3D canvas first, e.g. canvas 640 480 persp 30 1 100 10");
    if (answer == "Error! Too few arrays")
        return Hint(keyword.column, name + " draws the arrays stored with array or arrayf: store x and y "
                                           "(and z) first");
    if (answer == "Error! Too many arrays")
        return Hint(keyword.column, "three arrays (x, y and z) are stored already; line or dots draws them and "
                                    "empties the store");
    if (answer == "Error! Empty array")
        return Hint(keyword.column, "an arrayf before this line selected no number from its file (a START not "
                                    "below STRIDE, or an empty file); tesselin check finds which");
    if (answer == "Error! Error in opening a file" && tokens.size() > 1)
        return Hint(tokens[1].column, "arrayf cannot open " + Quoted(tokens[1].text) +
                                          "; a relative path is taken from the current directory");
    if (answer == "Error! Too large canvas")
        return Hint(keyword.column, "canvases are 1 to 8192 pixels wide and high");
    if (answer == "Warning: No right canvas")
        return Hint(keyword.column, "picture r draws on the right canvas of a stereo pair; make a pair first, "
                                    "e.g. canvas 400 300 0");
    return std::nullopt;
}

namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

constexpr std::size_t LongestJudged = 4096;

// Reads a number file as arrayf splits it into tokens.
NumberFileScan ScanNumberFile(std::FILE *file)
{
    NumberFileScan scan;
    std::string token;
    long long line = 1, column = 0, tokenLine = 0, tokenColumn = 0;
    auto close = [&] {
        if (token.empty())
            return;
        if (scan.badToken.empty() && !IsNumber(token)) {
            scan.badToken = token;
            scan.badLine = tokenLine;
            scan.badColumn = tokenColumn;
        }
        scan.tokens++;
        token.clear();
    };
    std::array<char, 1 << 16> buffer;
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (std::size_t i = 0; i < got; i++) {
            char c = buffer[i];
            column++;
            if (c == '\r' || c == '\n' || c == ' ' || c == '\0') {
                close();
                if (c == '\n') {
                    line++;
                    column = 0;
                }
                continue;
            }
            if (token.empty()) {
                tokenLine = line;
                tokenColumn = column;
            }
            // Numbers are short: a token this long is judged by its beginning.
            if (token.size() < LongestJudged)
                token += c;
        }
    }
    close();
    return scan;
}

// How many numbers arrayf selects from a file of count numbers: those whose
// index k has k % stride == start, as the plug-in's remainder gives it.
long long Selected(long long count, long long stride, long long start)
{
    if (stride == 0)
        return 0;
    long long step = stride < 0 ? -stride : stride;
    if (start < 0 || start >= step || count <= start)
        return 0;
    return (count - start + step - 1) / step;
}

std::string Reason(const std::string &token)
{
    if (token.find('\t') != std::string::npos)
        return " holds a tab";
    if (token.find(',') != std::string::npos)
        return " holds a comma";
    if (token.find(';') != std::string::npos)
        return " holds a semicolon";
    return " is not a number";
}

void ExamineNumberFile(const Token &path, const Token &strideToken, const Token &startToken,
                       const std::filesystem::path &directory, NumberFileScans *scans,
                       std::vector<Finding> &findings)
{
    std::filesystem::path full = std::filesystem::path(path.text).is_absolute() ? std::filesystem::path(path.text)
                                                                                 : directory / path.text;
    std::error_code status;
    if (std::filesystem::is_directory(full, status)) {
        // It opens, and reads as no number at all.
        findings.push_back({Severity::Warning, path.column,
                            Quoted(path.text, LongestPath) + " is a directory, not a number file; arrayf selects no number "
                                                "from it, so line and dots will answer Empty array"});
        return;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(full.c_str(), "rb"));
    if (!file) {
        findings.push_back({Severity::Error, path.column,
                            "arrayf cannot open the number file " + Quoted(path.text, LongestPath) +
                                " (looked for " + Quoted(full.string(), LongestPath) + "); the line will answer Error in opening a file"});
        return;
    }
    NumberFileScans own;
    if (!scans)
        scans = &own;
    auto found = scans->find(full.string());
    if (found == scans->end())
        found = scans->emplace(full.string(), ScanNumberFile(file.get())).first;
    const NumberFileScan &scan = found->second;
    if (!scan.badToken.empty()) {
        findings.push_back({Severity::Warning, path.column,
                            Quoted(path.text, LongestPath) + " is not a number file: at line " + std::to_string(scan.badLine) +
                                ", column " + std::to_string(scan.badColumn) + ", " + Quoted(scan.badToken) +
                                Reason(scan.badToken) +
                                " (numbers are separated by spaces or line ends); arrayf reads it as " +
                                AtofValue(scan.badToken)});
    }
    long long stride = std::strtoll(strideToken.text.c_str(), nullptr, 10);
    long long start = std::strtoll(startToken.text.c_str(), nullptr, 10);
    if (Selected(scan.tokens, stride, start) == 0)
        findings.push_back({Severity::Warning, strideToken.column,
                            "arrayf selects no number from " + Quoted(path.text, LongestPath) + " (it holds " +
                                std::to_string(scan.tokens) + "; STRIDE " + strideToken.text + ", START " +
                                startToken.text + "), so line and dots will answer Empty array"});
}

void ExaminePictureFile(const Token &mode, const Token &path, const std::filesystem::path &directory,
                        std::vector<Finding> &findings)
{
    bool relative = mode.text != "abs";
    // Joined as the plug-in joins it: the current directory, a separator, the path.
    std::string full = relative                                       ? directory.string() + "/" + path.text
                       : std::filesystem::path(path.text).is_absolute() ? path.text
                                                                         : (directory / path.text).string();
    std::error_code status;
    if (relative && std::filesystem::path(path.text).is_absolute()) {
        findings.push_back({Severity::Warning, mode.column,
                            "picture takes " + Quoted(path.text, LongestPath) + " from the current directory (as " + Quoted(full, LongestPath) +
                                ") because the token before it is " + Quoted(mode.text) +
                                ", not abs; the picture will not be found"});
        return;
    }
    if (full.size() > 259) {
        findings.push_back({Severity::Warning, path.column,
                            "the picture's path is " + std::to_string(full.size()) +
                                " characters long; picture takes at most 259 and draws nothing"});
        return;
    }
    if (!std::filesystem::is_regular_file(full, status))
        findings.push_back({Severity::Warning, path.column,
                            "picture file " + Quoted(path.text, LongestPath) + " not found (looked for " + Quoted(full, LongestPath) +
                                "); picture will draw nothing"});
}

} // namespace

std::vector<Finding> ExamineFiles(const std::vector<Token> &tokens, const std::filesystem::path &directory,
                                  NumberFileScans *scans)
{
    std::vector<Finding> findings;
    if (tokens.empty())
        return findings;
    const CommandInfo *command = FindCommand(tokens[0].text);
    const Form *form = command ? command->FormFor(static_cast<int>(tokens.size())) : nullptr;
    if (!form)
        return findings;
    // A number file is followed by its STRIDE and START; a picture file is
    // preceded by its mode.
    for (std::size_t i = 1; i < tokens.size(); i++) {
        const TokenSpec *spec = form->TokenAt(static_cast<int>(i));
        if (!spec)
            continue;
        if (spec->kind == TokenKind::NumberFile && i + 2 < tokens.size())
            ExamineNumberFile(tokens[i], tokens[i + 1], tokens[i + 2], directory, scans, findings);
        else if (spec->kind == TokenKind::PictureFile && i >= 1)
            ExaminePictureFile(tokens[i - 1], tokens[i], directory, findings);
    }
    return findings;
}

} // namespace tesselin
