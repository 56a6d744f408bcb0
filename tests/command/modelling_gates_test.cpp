// Every modelling keyword stands behind both gates and reaches its own
// command; a rejected line makes no OpenGL or GLU call at all.
#include "tests/doubles/plugin_fixture.h"

namespace {

using ModellingGates = PluginTest;

// One accepted line per keyword, in dispatch order.
const char *const Accepted[] = {
    "clear",         "finish",        "light",     "ambient 1 1 1",    "push",           "pop",
    "rotate 1 0 0 1", "scale 1 1 1",  "move 1 1 1", "color 1 1 1",     "diffuse 1 1 1",  "shine 1 1 1 1",
    "emit 1 1 1",    "out",           "in",        "solid",            "wire",           "dot",
    "triad",         "quad",          "polygon",   "disk 0 1 360 8",   "pipe 0 0 1",     "horn 0 0 1",
    "cube",          "sphere 4 8 x",  "cylinder 1 1 360 8 x",           "torus 2 0 360 4 x 360 8 x",
};

// Token counts each keyword refuses, in dispatch order.
const char *const Rejected[] = {
    "clear 1", "clear 1 1", "clear 1 1 1 1", "finish 1", "light 1", "light 1 1", "light 1 1 1 1", "ambient", "ambient 1 1",
    "push 1", "pop 1", "rotate", "rotate 90 0 0", "rotate 90 0 0 1 1", "scale", "scale 1 1", "move", "move 1 1 1 1",
    "color", "color 1 1", "diffuse", "diffuse 1 1 1 1", "shine", "shine 1 1 1", "shine 1 1 1 1 1", "emit", "emit 1",
    "out 1", "in 1", "solid 1", "wire 1 1", "dot 1 1", "triad 1", "triad 1 1 1", "triad 1 2 3 4 5 6", "quad 1",
    "quad 1 2 3", "quad 1 2 3 4 5 6 7 8", "disk 0.5 2 90", "disk 0.5 2 90 16 1", "pipe", "pipe 0", "pipe 0 0", "horn",
    "horn 1 1", "cube 1", "sphere 8 16", "sphere 8 16 flat 1", "cylinder 1 1 360 8", "cylinder 1 1 360 8 flat 1",
    "torus 2 0 360 4 flat 360 8", "torus 2 0 360 4 flat 360 8 flat 1",
};

TEST_F(ModellingGates, NoCanvasStopsEveryModellingCommand)
{
    LoadWithCanvas();
    host.hasCanvas = 0;
    for (const char *line : Accepted) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! No canvas") << line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"})) << line;
        EXPECT_TRUE(recording_gl::Calls().empty()) << line;
    }
}

TEST_F(ModellingGates, ModellingNotBegunStopsEveryModellingCommand)
{
    LoadWithCanvas();
    host.isModeling = 0;
    for (const char *line : Accepted) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! Modeling not begun") << line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()"})) << line;
        EXPECT_TRUE(recording_gl::Calls().empty()) << line;
    }
}

TEST_F(ModellingGates, EveryKeywordReachesItsCommand)
{
    LoadWithCanvas();
    for (const char *line : Accepted) {
        ClearRecords();
        EXPECT_EQ(Run(line), "") << line;
        bool hostOnly = std::string(line) == "finish";
        EXPECT_NE(recording_gl::Calls().empty(), !hostOnly) << line << " draws or sets state";
    }
}

TEST_F(ModellingGates, RefusedCountsChangeNothing)
{
    LoadWithCanvas();
    Run("wire");
    Run("in");
    Run("torus 3 0 360 4 x 360 8 x");
    for (const char *line : Rejected) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! Wrong number of tokens") << line;
        EXPECT_TRUE(recording_gl::Calls().empty()) << line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()"})) << line;
    }
    EXPECT_EQ(RenderStyle, STYLE_WIRE);
    EXPECT_EQ(OrientationOutside, 0);
    EXPECT_EQ(SweepFlat, 0);
    EXPECT_EQ(ProfileFlat, 0);
    EXPECT_EQ(TubeCentreRadius, 3.0f);
}

}
