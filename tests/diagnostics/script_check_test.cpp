// tesselin check over whole scripts: what it reports, where, and its result.
#include "app/script/check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace tesselin;

struct Report {
    int status = -1;
    std::vector<std::string> lines;
};

Report Check(const std::string &script, const fs::path &directory = TESSELIN_SOURCE_DIR)
{
    std::ostringstream out;
    Report report;
    report.status = CheckScript("s.tsl", script, directory, out);
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        report.lines.push_back(line);
    return report;
}

bool StartsWith(const std::string &text, const std::string &prefix) { return text.rfind(prefix, 0) == 0; }

TEST(ScriptCheck, EveryExampleIsClean)
{
    // The examples run from the repository's top folder, where their files are.
    int examples = 0;
    for (const auto &entry : fs::directory_iterator(fs::path(TESSELIN_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".tsl")
            continue;
        examples++;
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        Report report = Check(text.str());
        EXPECT_EQ(report.status, 0) << entry.path();
        EXPECT_EQ(report.lines, std::vector<std::string>{"s.tsl: no problems found"}) << entry.path();
    }
    EXPECT_GE(examples, 10);
}

struct Case {
    std::string script;
    // The start of each finding's line, in order (file:line:column: severity).
    std::vector<std::string> starts;
};

TEST(ScriptCheck, FindingsNameLineAndColumnInScriptOrder)
{
    const Case cases[] = {
        {"canvas 640 480 persp 30 1 100 10\n# comment\n\nclear 1 1 1\nfinish\n", {}},
        {"canvs 400 300\n", {"s.tsl:1:1: Error! \"canvs\" is not a command; did you mean \"canvas\"?"}},
        {"canvas 640 480 persp 30 1 100 10\nrotate 90 0 0\ndiffuse red 0 0\r\nmove 0 0 0 1\n",
         {"s.tsl:2:1: Error! \"rotate\" is written", "s.tsl:3:9: Warning: \"red\"", "s.tsl:4:12: Error! \"move\""}},
        // Gates: the welcome canvas lets erase through but not modelling.
        {"erase white\nlight\ncube\n", {"s.tsl:2:1: Error! \"light\" draws in 3D"}},
        // A flat canvas does not begin modelling; a 3D one does.
        {"canvas 100 100\nsphere 8 8 flat\ncanvas 100 100 persp 30 1 100 10\nsphere 8 8 flat\n",
         {"s.tsl:2:1: Error! \"sphere\" draws in 3D"}},
        // A canvas the host cannot make leaves none: the next lines meet the canvas gate.
        {"canvas 0 300 persp 30 1 100 10\nerase black\npicture l 0 0 1 rel x.png\n",
         {"s.tsl:1:8: Error! canvases are 1 to 8192", "s.tsl:2:1: Error! \"erase\" needs a canvas"}},
        {"canvas 640 9000\n", {"s.tsl:1:12: Error!"}},
        // picture r needs a stereo pair: a flat or a 3D one.
        {"picture r 0 0 1 rel examples/images/balls.jpg\ncanvas 40 30 4\npicture r 0 0 1 rel examples/images/balls.jpg\n"
         "canvas 40 30\npicture r 0 0 1 rel examples/images/balls.jpg\n"
         "canvas 40 30 0 persp 30 1 100 10 0.5 0\npicture r 0 0 1 rel examples/images/balls.jpg\n",
         {"s.tsl:1:9: Warning: picture r draws on the right canvas", "s.tsl:5:9: Warning: picture r"}},
        // Files are looked for from the directory given.
        {"canvas 10 10 persp 30 1 100 10\narrayf examples/missing.txt 1 0\npicture l 0 0 1 rel examples/gone.png\n",
         {"s.tsl:2:8: Error! arrayf cannot open", "s.tsl:3:21: Warning: picture file"}},
    };
    for (const Case &c : cases) {
        Report report = Check(c.script);
        ASSERT_EQ(report.lines.size(), c.starts.size() + 1) << c.script << "\n" << ::testing::PrintToString(report.lines);
        for (std::size_t i = 0; i < c.starts.size(); i++)
            EXPECT_TRUE(StartsWith(report.lines[i], c.starts[i])) << report.lines[i] << "\n  expected " << c.starts[i];
        EXPECT_EQ(report.status, c.starts.empty() ? 0 : 1) << c.script;
    }
}

TEST(ScriptCheck, SummaryCountsErrorsAndWarnings)
{
    Report report = Check("canvas 10 10 persp 30 1 100 10\nmove a b c\ncolr 1 1 1\nfinish 1\n");
    ASSERT_FALSE(report.lines.empty());
    EXPECT_EQ(report.lines.back(), "s.tsl: 2 errors, 3 warnings");
    EXPECT_EQ(Check("canvs\n").lines.back(), "s.tsl: 1 error, 0 warnings");
}

TEST(ScriptCheck, AGateIsReportedOnceUntilTheNextCanvas)
{
    Report report = Check("light\ncube\ncube\ncanvas 10 10\ncube\n");
    ASSERT_EQ(report.lines.size(), 3u) << ::testing::PrintToString(report.lines);
    EXPECT_TRUE(StartsWith(report.lines[0], "s.tsl:1:1: Error! \"light\""));
    EXPECT_TRUE(StartsWith(report.lines[1], "s.tsl:5:1: Error! \"cube\""));
}

} // namespace
