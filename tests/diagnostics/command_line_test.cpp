// How a command line is cut into tokens: blanks, both kinds of quotes,
// backslashes, comments, and the column each token starts at.
#include "app/script/tokenizer.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using tesselin::Token;
using tesselin::TokenizeLine;

struct Expected {
    std::string text;
    int column;
};

struct Case {
    std::string line;
    std::vector<Expected> tokens;
};

std::vector<Expected> Tokens(const std::string &line)
{
    std::vector<Expected> found;
    if (auto tokens = TokenizeLine(line))
        for (const Token &token : *tokens)
            found.push_back({token.text, token.column});
    return found;
}

bool operator==(const Expected &a, const Expected &b) { return a.text == b.text && a.column == b.column; }

void PrintTo(const Expected &token, std::ostream *out) { *out << "\"" << token.text << "\"@" << token.column; }

TEST(CommandLine, BlanksSeparateAndColumnsCountFromOne)
{
    const Case cases[] = {
        {"canvas 400 300", {{"canvas", 1}, {"400", 8}, {"300", 12}}},
        {"  \tmove  1\t2 3  ", {{"move", 4}, {"1", 10}, {"2", 12}, {"3", 14}}},
        {"finish\r\n", {{"finish", 1}}},
        {"cube\n", {{"cube", 1}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Tokens(c.line), c.tokens) << c.line;
}

TEST(CommandLine, BlankAndCommentLinesAreSkipped)
{
    for (const char *line : {"", "   ", "\t", "# a comment", "   # indented comment", "\r\n"})
        EXPECT_FALSE(TokenizeLine(line).has_value()) << line;
    // A # after the keyword is an ordinary character.
    EXPECT_EQ(Tokens("text 0 0 1 #1"), (std::vector<Expected>{{"text", 1}, {"0", 6}, {"0", 8}, {"1", 10}, {"#1", 12}}));
}

TEST(CommandLine, DoubleQuotesKeepBlanksAndBackslashes)
{
    const Case cases[] = {
        {"stop \"the end\"", {{"stop", 1}, {"the end", 6}}},
        {"stop \"\"", {{"stop", 1}, {"", 6}}},
        {"canvas \"12 x\" \"3\"4", {{"canvas", 1}, {"12 x", 8}, {"34", 15}}},
        // Nothing inside double quotes is escaped: a Windows path reads as written.
        {"picture l 0 0 1 abs \"C:\\My Pictures\\\"", {{"picture", 1}, {"l", 9}, {"0", 11}, {"0", 13}, {"1", 15},
                                                        {"abs", 17}, {"C:\\My Pictures\\", 21}}},
        // An unclosed quote runs to the end of the line.
        {"stop \"no end", {{"stop", 1}, {"no end", 6}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Tokens(c.line), c.tokens) << c.line;
}

TEST(CommandLine, SingleQuotesAsAShellReadsAPastedPath)
{
    const Case cases[] = {
        {"picture l 0 0 1 abs '/home/me/My Photos/cat.jpg'",
         {{"picture", 1}, {"l", 9}, {"0", 11}, {"0", 13}, {"1", 15}, {"abs", 17}, {"/home/me/My Photos/cat.jpg", 21}}},
        // Inside single quotes double quotes and backslashes are letters.
        {"stop 'say \"hi\" \\ there'", {{"stop", 1}, {"say \"hi\" \\ there", 6}}},
        {"stop 'a b'c", {{"stop", 1}, {"a bc", 6}}},
        {"stop ''", {{"stop", 1}, {"", 6}}},
        // An apostrophe within a word, or one the line never closes, is a letter.
        {"text 0 0 1 don't panic", {{"text", 1}, {"0", 6}, {"0", 8}, {"1", 10}, {"don't", 12}, {"panic", 18}}},
        {"text 0 0 1 Bob's cat's", {{"text", 1}, {"0", 6}, {"0", 8}, {"1", 10}, {"Bob's", 12}, {"cat's", 18}}},
        {"stop 'open", {{"stop", 1}, {"'open", 6}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Tokens(c.line), c.tokens) << c.line;
}

TEST(CommandLine, BackslashKeepsBlanksQuotesAndPunctuationButNotLetters)
{
    const Case cases[] = {
        {"arrayf My\\ Data/sine\\ wave.txt 1 0", {{"arrayf", 1}, {"My Data/sine wave.txt", 8}, {"1", 32}, {"0", 34}}},
        {"stop photo\\ \\(1\\)\\&\\'x\\'", {{"stop", 1}, {"photo (1)&'x'", 6}}},
        {"stop a\\\\b", {{"stop", 1}, {"a\\b", 6}}},
        {"stop \\\"quoted\\\"", {{"stop", 1}, {"\"quoted\"", 6}}},
        // Before a letter, digit, dot or slash a backslash is itself.
        {"picture l 0 0 1 abs C:\\pictures\\2020\\.x", {{"picture", 1}, {"l", 9}, {"0", 11}, {"0", 13}, {"1", 15},
                                                       {"abs", 17}, {"C:\\pictures\\2020\\.x", 21}}},
        // A backslash at the end of the line stays.
        {"stop end\\", {{"stop", 1}, {"end\\", 6}}},
        // An escaped blank at the start of a token begins it.
        {"stop \\ x", {{"stop", 1}, {" x", 6}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Tokens(c.line), c.tokens) << c.line;
}

} // namespace

namespace {

// Any token without a single quote survives being written in single quotes,
// and any token at all survives backslashes before its blanks, quotes and
// backslashes: what a person pastes comes back as the token they meant.
TEST(CommandLine, QuotedOrEscapedTokensComeBackWhole)
{
    std::mt19937 random(20261208);
    const std::string alphabet = "ab0.-/ \t'\"\\(),#";
    std::uniform_int_distribution<int> length(1, 12), letter(0, static_cast<int>(alphabet.size()) - 1), count(1, 6);
    for (int round = 0; round < 2000; round++) {
        std::vector<std::string> meant(count(random));
        for (std::string &token : meant)
            for (int i = length(random); i > 0; i--)
                token += alphabet[letter(random)];
        std::string escaped = "stop", quoted = "stop";
        for (const std::string &token : meant) {
            escaped += ' ';
            for (char c : token) {
                if (c == ' ' || c == '\t' || c == '\'' || c == '"' || c == '\\')
                    escaped += '\\';
                escaped += c;
            }
            quoted += " '" + (token.find('\'') == std::string::npos ? token : std::string("x")) + "'";
        }
        auto fromEscaped = TokenizeLine(escaped);
        ASSERT_TRUE(fromEscaped.has_value()) << escaped;
        std::vector<std::string> expected = {"stop"};
        expected.insert(expected.end(), meant.begin(), meant.end());
        EXPECT_EQ(tesselin::TokenTexts(*fromEscaped), expected) << escaped;

        auto fromQuoted = TokenizeLine(quoted);
        ASSERT_TRUE(fromQuoted.has_value()) << quoted;
        ASSERT_EQ(fromQuoted->size(), meant.size() + 1) << quoted;
        int column = 0;
        for (std::size_t i = 0; i < fromQuoted->size(); i++) {
            const Token &token = (*fromQuoted)[i];
            if (i > 0 && meant[i - 1].find('\'') == std::string::npos) {
                EXPECT_EQ(token.text, meant[i - 1]) << quoted;
            }
            // Columns rise, and each names where the token is written.
            EXPECT_GT(token.column, column) << quoted;
            column = token.column;
            EXPECT_EQ(quoted[token.column - 1], i == 0 ? 's' : '\'') << quoted;
        }
    }
}

} // namespace
