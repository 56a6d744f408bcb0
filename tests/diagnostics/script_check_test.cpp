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

TEST(ScriptCheck, ProjectionNumbersTheRunRefuses)
{
    // Each refused view is an error at its first number, and the 3D lines
    // after it meet the modelling gate, which is not reported again.
    const Case cases[] = {
        {"canvas 64 48 persp 0 1 100 10\ncube\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: the field of view"}},
        {"canvas 64 48 persp 180 1 100 10\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: the field of view"}},
        {"canvas 64 48 persp 30 0 100 10\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: the near clipping"}},
        {"canvas 64 48 persp 30 5 5 10\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: the far clipping"}},
        {"canvas 64 48 ortho 0 1 100 10\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: the orthographic"}},
        {"canvas 64 48 ortho 2 7 7 10\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: the near and far"}},
        {"canvas 64 48 persp 30 1 inf 10\n", {"s.tsl:1:20: Error! the 3D view cannot be set up: a projection number"}},
        // A word the plug-in reads as 0, and the stereo form's numbers.
        {"canvas 64 48 persp wide 1 100 10\n",
         {"s.tsl:1:20: Warning: \"wide\" is not a number", "s.tsl:1:20: Error! the 3D view cannot be set up"}},
        {"canvas 64 48 0 persp 30 1 0.5 10 0.5 0\n", {"s.tsl:1:22: Error! the 3D view cannot be set up: the far"}},
        // What the camera takes: any word but ortho is a perspective, and an
        // orthographic view may clip behind the camera.
        {"canvas 64 48 Ortho 30 1 100 10\ncube\n", {"s.tsl:1:14: Warning: \"Ortho\" is not \"ortho\""}},
        {"canvas 64 48 ortho 2 -5 100 10\ncube\n", {}},
        {"canvas 64 48 persp 179.9 0.01 1e6 10\ncube\n", {}},
        // A refused view, then a good one: modelling begins again.
        {"canvas 64 48 persp 0 1 100 10\ncanvas 64 48 persp 30 1 100 10\ncube\n",
         {"s.tsl:1:20: Error! the 3D view"}},
    };
    for (const Case &c : cases) {
        Report report = Check(c.script);
        ASSERT_EQ(report.lines.size(), c.starts.size() + 1) << c.script << "\n" << ::testing::PrintToString(report.lines);
        for (std::size_t i = 0; i < c.starts.size(); i++)
            EXPECT_TRUE(StartsWith(report.lines[i], c.starts[i])) << report.lines[i] << "\n  expected " << c.starts[i];
        EXPECT_EQ(report.status, c.starts.empty() ? 0 : 1) << c.script;
    }
}

} // namespace
