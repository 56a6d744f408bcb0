// The host's help after the plug-in's answers, and what it finds in a line's
// tokens and files.
#include "app/script/command_forms.h"
#include "app/script/hints.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace tesselin;

std::vector<Token> Line(const std::string &text) { return TokenizeLine(text).value_or(std::vector<Token>{}); }

TEST(NearestKeyword, SlipsOfTheKeyboardFindTheKeyword)
{
    const std::pair<const char *, const char *> cases[] = {
        {"canvs", "canvas"},   {"Canvas", "canvas"}, {"CANVAS", "canvas"}, {"ligth", "light"},
        {"sphree", "sphere"},  {"hgard", "hgrad"},   {"arrayff", "arrayf"}, {"cyl", "cylinder"},
        {"tourus", "torus"},   {"diffuse2", "diffuse"}, {"colour", "color"}, {"polygn", "polygon"},
        // Too far from every keyword: no guess.
        {"xyz", ""},           {"q", ""},            {"background", ""},  {"", ""},
    };
    for (const auto &[word, expected] : cases)
        EXPECT_EQ(NearestKeyword(word), expected) << word;
}

struct HelpCase {
    std::string line, answer;
    Severity severity;
    int column;
    std::vector<std::string> says;
};

TEST(HelpAfterAnswer, NamesTheWordTheCountAndTheGate)
{
    const HelpCase cases[] = {
        // A word that is no command, whichever message the gates gave.
        {"canvs 400 300", "Error! Modeling not begun", Severity::Hint, 1,
         {"\"canvs\" is not a command; did you mean \"canvas\"?"}},
        {"  canvs 400 300", "Error! No canvas", Severity::Hint, 3, {"did you mean \"canvas\"?"}},
        {"Sphere 10 10 flat", "Error! A wrong token", Severity::Hint, 1, {"did you mean \"sphere\"?"}},
        {"zzzz", "Error! A wrong token", Severity::Hint, 1, {"\"zzzz\" is not a command"}},
        {".save x.png", "Error! A wrong token", Severity::Hint, 1, {"command window"}},
        // Whatever a script holds is printed safely: no terminal escapes, no endless words.
        {"\x1b]0;gotcha\x07 1", "Error! A wrong token", Severity::Hint, 1, {"\"\\x1b]0;gotcha\\x07\" is not"}},
        {std::string(500, 'w'), "Error! A wrong token", Severity::Hint, 1, {"\"" + std::string(60, 'w') + "...\""}},
        // A count that fits no form: every form, and the count given.
        {"rotate 90 0 0", "Error! Wrong number of tokens", Severity::Hint, 1,
         {"rotate ANGLE X Y Z", "3 tokens after"}},
        {"canvas 400 300 persp 30", "Error! Wrong number of tokens", Severity::Hint, 1,
         {"canvas WIDTH HEIGHT | canvas WIDTH HEIGHT SHIFT | canvas WIDTH HEIGHT persp|ortho FOV NEAR FAR DISTANCE"}},
        // Too many: the first token too many.
        {"cube 1", "Error! Wrong number of tokens", Severity::Hint, 6, {"cube (this line has 1 token after"}},
        {"light 1 2 3 4", "Error! Wrong number of tokens", Severity::Hint, 13, {"light | light X Y Z"}},
        {"hgrad 1 0 0 5 10 a", "Error! Wrong number of tokens", Severity::Hint, 1,
         {"hgrad R G B LENGTH | hgrad R G B LENGTH SPACING LABEL1 LABEL2 ..."}},
        // A known keyword at a gate.
        {"light", "Error! Modeling not begun", Severity::Hint, 1, {"\"light\" draws in 3D", "persp"}},
        {"erase white", "Error! No canvas", Severity::Hint, 1, {"\"erase\" needs a canvas"}},
        // Messages of the commands themselves.
        {"line", "Error! Too few arrays", Severity::Hint, 1, {"store x and y"}},
        {"arrayf data.txt 1 0", "Error! Error in opening a file", Severity::Hint, 8, {"\"data.txt\""}},
        {"picture r 0 0 1 abs x.png", "Warning: No right canvas", Severity::Hint, 1, {"stereo pair"}},
        {"canvas 0 300", "Error! Too large canvas", Severity::Hint, 1, {"1 to 8192"}},
        // Success, yet a word stood where a number belongs.
        {"diffuse red 0 0", "", Severity::Warning, 9, {"\"red\" is not a number; diffuse reads it as 0"}},
        {"move 1,5 0 0", "", Severity::Warning, 6, {"\"1,5\" is not a number; move reads it as 1"}},
        {"shine 12.7 1 1 1", "", Severity::Warning, 7, {"not a whole number; shine reads it as 12"}},
        // Digits beyond atoi's range are a whole number, just too large.
        {"shine 2147483648 1 1 1", "", Severity::Warning, 7,
         {"\"2147483648\" is out of range (-2147483648 to 2147483647); shine reads it as an undefined"}},
        {"shine -99999999999 1 1 1", "", Severity::Warning, 7, {"is out of range"}},
        {"shine 12a 1 1 1", "", Severity::Warning, 7, {"\"12a\" is not a whole number"}},
        {"color x y 1", "", Severity::Warning, 7, {"\"x\" is not a number", "(and 1 more on this line)"}},
        {"sphere 20 20 Flat", "", Severity::Warning, 14, {"capitals count", "reads it as smooth"}},
        {"erase White", "", Severity::Warning, 7, {"reads it as black"}},
        {"picture R 0 0 1 abs x.png", "", Severity::Warning, 9, {"the left canvas"}},
        {"canvas 640 480 30 1 100 10 5", "", Severity::Warning, 16, {"persp|ortho", "number \"30\""}},
    };
    for (const HelpCase &c : cases) {
        auto help = HelpAfterAnswer(Line(c.line), c.answer);
        ASSERT_TRUE(help.has_value()) << c.line;
        EXPECT_EQ(help->severity, c.severity) << c.line;
        EXPECT_EQ(help->column, c.column) << c.line;
        for (const std::string &part : c.says)
            EXPECT_TRUE(Contains(help->text, part)) << c.line << "\n  said: " << help->text << "\n  missing: " << part;
    }
}

TEST(HelpAfterAnswer, SilentWhenThereIsNothingToAdd)
{
    const std::pair<const char *, const char *> cases[] = {
        {"canvas 640 480 persp 30 1 100 10", ""},
        {"diffuse 1 0.5 .25", ""},
        {"move -1e3 +2 0x10", ""},
        {"text 0 0 1 any words at all", ""},
        {"polygon 1 0 1 1", ""},
        {"picture l 0 0 1 abs x.png", ""},
        {"sphere 20 20 smooth", ""},
        // Answers the host has nothing to add to.
        {"array 1 2", "Error! Not enough memory"},
        // A count the table accepts is not explained again.
        {"rotate 90 0 0 1", "Error! Wrong number of tokens"},
    };
    for (const auto &[line, answer] : cases) {
        auto help = HelpAfterAnswer(Line(line), answer);
        EXPECT_FALSE(help.has_value()) << line << " got: " << (help ? help->text : "");
    }
}

TEST(HelpAfterAnswer, FormattedWithFileLineAndColumn)
{
    Finding hint{Severity::Hint, 7, "text"};
    EXPECT_EQ(FormatFinding("demo.tsl:12", hint), "demo.tsl:12:7: Hint: text");
    EXPECT_EQ(FormatFinding("", hint), "Hint: text");
    EXPECT_EQ(FormatFinding("a:1", Finding{Severity::Warning, 2, "w"}), "a:1:2: Warning: w");
    EXPECT_EQ(FormatFinding("a:1", Finding{Severity::Error, 3, "e"}), "a:1:3: Error! e");
}

TEST(Numbers, WholeTokensOnly)
{
    for (const char *number : {"0", "-1", "+2.5", ".5", "1e-3", "0x1p3", "inf", "1E5"})
        EXPECT_TRUE(IsNumber(number)) << number;
    for (const char *other : {"", "red", "1,5", "1.5x", "- 1", "1\t2", "1 ", "--1"})
        EXPECT_FALSE(IsNumber(other)) << other;
    for (const char *whole : {"0", "-12", "+7", "2147483647"})
        EXPECT_TRUE(IsWholeNumber(whole)) << whole;
    for (const char *other : {"", "12.7", "1e3", "0x10", "2147483648", "seven"})
        EXPECT_FALSE(IsWholeNumber(other)) << other;
}

// A scratch directory, removed at the end.
struct Scratch {
    fs::path path;
    Scratch()
    {
        path = fs::temp_directory_path() / ("tesselin-diagnose-" + std::to_string(getpid()));
        fs::create_directories(path);
    }
    ~Scratch() { fs::remove_all(path); }
    std::string Write(const std::string &name, const std::string &text) const
    {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

struct FileCase {
    std::string line;
    std::vector<std::string> says; // one part of each finding, in order; empty for none
};

TEST(ExamineFiles, NumberFilesAndPictures)
{
    Scratch scratch;
    scratch.Write("good.txt", "1 2 3\n4 5 6\r\n-7e1 .5\n");
    scratch.Write("tabs.txt", "1 2\n3\t4\n");
    scratch.Write("commas.txt", "1,5 2,5\n");
    scratch.Write("semicolons.txt", "1;2\n");
    scratch.Write("empty.txt", "");
    scratch.Write("cat.png", "not really a picture, but there");
    fs::create_directories(scratch.path / "My Photos");
    scratch.Write("My Photos/dog.png", "there");
    const std::string absolute = (scratch.path / "cat.png").string();
    const FileCase cases[] = {
        {"arrayf good.txt 1 0", {}},
        {"arrayf good.txt 3 2", {}},
        {"arrayf tabs.txt 1 0",
         {"at line 2, column 1, \"3\\t4\" holds a tab (numbers are separated by spaces or line ends); arrayf "
          "reads it as 3"}},
        {"arrayf commas.txt 2 1", {"\"1,5\" holds a comma (numbers are separated by spaces or line ends); arrayf reads it as 1"}},
        {"arrayf semicolons.txt 1 0", {"holds a semicolon"}},
        {"arrayf missing.txt 1 0", {"cannot open the number file \"missing.txt\""}},
        {"arrayf . 1 0", {"is a directory"}},
        // Selections of no number: an empty file, a START not below STRIDE, a stride of 0.
        {"arrayf empty.txt 1 0", {"selects no number"}},
        {"arrayf good.txt 3 3", {"selects no number from \"good.txt\" (it holds 8;"}},
        {"arrayf good.txt 0 0", {"selects no number"}},
        {"arrayf good.txt 20 8", {"selects no number"}},
        {"arrayf good.txt 20 7", {}},
        {"arrayf good.txt -3 1", {}},
        {"picture l 0 0 1 rel cat.png", {}},
        {"picture l 0 0 1 abs " + absolute, {}},
        {"picture l 0 0 1 rel 'My Photos/dog.png'", {}},
        {"picture l 0 0 1 rel My\\ Photos/dog.png", {}},
        {"picture l 0 0 1 rel " + absolute, {"from the current directory (as \"" + scratch.path.string() + "//"}},
        {"picture l 0 0 1 rel dog.png", {"picture file \"dog.png\" not found"}},
        // abs uses the path as written: a relative one from the current directory.
        {"picture l 0 0 1 abs cat.png", {}},
        {"picture l 0 0 1 abs /nonexistent/cat.png", {"not found (looked for \"/nonexistent/cat.png\")"}},
        {"picture l 0 0 1 rel " + std::string(300, 'x') + ".png", {"at most 259"}},
        // Lines whose count fits no form name no file.
        {"arrayf missing.txt 1", {}},
        {"picture l 0 0 1 missing.png", {}},
    };
    for (const FileCase &c : cases) {
        auto findings = ExamineFiles(Line(c.line), scratch.path);
        ASSERT_EQ(findings.size(), c.says.size()) << c.line << (findings.empty() ? "" : "\n  " + findings[0].text);
        for (std::size_t i = 0; i < findings.size(); i++)
            EXPECT_TRUE(Contains(findings[i].text, c.says[i])) << c.line << "\n  said: " << findings[i].text;
    }
}

TEST(ExamineFiles, FindingsNameTheFileTokensColumn)
{
    Scratch scratch;
    scratch.Write("tabs.txt", "1\t2\n");
    auto number = ExamineFiles(Line("arrayf   tabs.txt 1 0"), scratch.path);
    ASSERT_EQ(number.size(), 1u);
    EXPECT_EQ(number[0].column, 10);
    EXPECT_EQ(number[0].severity, Severity::Warning);
    auto missing = ExamineFiles(Line("arrayf nope.txt 1 0"), scratch.path);
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].severity, Severity::Error) << "the run will fail on this line";
    auto picture = ExamineFiles(Line("picture l 0 0 1 rel nope.png"), scratch.path);
    ASSERT_EQ(picture.size(), 1u);
    EXPECT_EQ(picture[0].column, 21);
    EXPECT_EQ(picture[0].severity, Severity::Warning) << "a missing picture draws nothing and the run goes on";
}

} // namespace
