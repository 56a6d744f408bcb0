// The canvas command: host calls in their order, the 3D set-up, the store, and
// both ways of failing with "Too large canvas".
#include "tests/doubles/plugin_fixture.h"

#include <cstdlib>

namespace {

using Strings = std::vector<std::string>;

class CanvasCommand : public PluginTest {
protected:
    // Puts one array in the store, so a test can see whether the store is renewed.
    void StoreOneArray()
    {
        ArraySlots[0] = static_cast<float *>(std::calloc(2, sizeof(float)));
        ArrayLengths[0] = 2;
        ArrayCount = 1;
    }
};

TEST_F(CanvasCommand, UnacceptedCountsChangeNothing)
{
    LoadWithCanvas("canvas 200 100 persp 45 1 100 10");
    StoreOneArray();
    CanvasRecord *left = LeftCanvas;
    GLUquadric *quadric = Quadric;
    for (const char *line : {"canvas", "canvas 1", "canvas 1 2 3 4", "canvas 1 2 3 4 5",
                             "canvas 1 2 3 4 5 6", "canvas 1 2 3 4 5 6 7 8", "canvas 1 2 3 4 5 6 7 8 9",
                             "canvas 1 2 3 4 5 6 7 8 9 10 11"}) {
        EXPECT_EQ(Run(line), "Error! Wrong number of tokens") << line;
    }
    EXPECT_TRUE(host.calls.empty()) << "no gate question and no host call";
    EXPECT_TRUE(recording_gl::Calls().empty());
    EXPECT_EQ(LeftCanvas, left);
    EXPECT_EQ(Quadric, quadric);
    EXPECT_EQ(ArrayCount, 1);
    EXPECT_NE(ArraySlots[0], nullptr);
}

TEST_F(CanvasCommand, FlatSingleReplacesTheWelcomeCanvas)
{
    Load();
    EXPECT_EQ(Run("canvas 320 240"), "");
    EXPECT_EQ(host.calls, (Strings{"SelectCanvas(none, 0)", "DestroyCanvas(canvas1)", "CreateCanvas(320, 240)",
                                   "SelectCanvas(canvas2, 0)", "ShowCanvasWindow()", "GetViewRect(CanvasView, 0)",
                                   "RefreshCanvas(0, -1)"}));
    EXPECT_TRUE(recording_gl::Calls().empty()) << "a flat canvas makes no OpenGL call";
    EXPECT_EQ(Quadric, nullptr);
    EXPECT_EQ(CanvasView.rect.right, 320);
    EXPECT_EQ(CanvasView.rect.bottom, 240);
}

TEST_F(CanvasCommand, StereoPairsAreReleasedRightBeforeLeft)
{
    LoadWithCanvas("canvas 100 80 4");
    EXPECT_EQ(Run("canvas 50 40"), "");
    EXPECT_EQ(Strings(host.calls.begin(), host.calls.begin() + 4),
              (Strings{"SetRightCanvas(none)", "DestroyCanvas(canvas3)", "SelectCanvas(none, 0)",
                       "DestroyCanvas(canvas2)"}));
    EXPECT_EQ(RightCanvas, nullptr);
}

TEST_F(CanvasCommand, FlatStereoWidensTheViewByTheAmountTheHostLeft)
{
    Load();
    host.marginBias = 1; // a host that stores a different amount than it was given
    EXPECT_EQ(Run("canvas 100 80 6"), "");
    EXPECT_EQ(host.calls, (Strings{"SelectCanvas(none, 0)", "DestroyCanvas(canvas1)", "CreateCanvas(100, 80)",
                                   "CreateCanvas(100, 80)", "SelectCanvas(canvas2, 0)", "ShowCanvasWindow()",
                                   "GetViewRect(CanvasView, 0)", "SetRightCanvas(canvas3)",
                                   "SetViewMargin(CanvasView, 6, 0, 0)", "RefreshCanvas(0, -1)"}));
    EXPECT_EQ(CanvasView.amount, 7);
    EXPECT_EQ(CanvasView.rect.left, -7);
    EXPECT_EQ(CanvasView.rect.right, 107);
    EXPECT_EQ(CanvasView.rect.top, 0);
    EXPECT_EQ(CanvasView.rect.bottom, 80);
}

TEST_F(CanvasCommand, RightCanvasTakesTheSizeTheHostRecordedForTheLeft)
{
    Load();
    host.sizeLimit = 64;
    EXPECT_EQ(Run("canvas 500 300 0"), "");
    EXPECT_EQ(host.CallsStartingWith("CreateCanvas"), (Strings{"CreateCanvas(500, 300)", "CreateCanvas(64, 64)"}));
}

TEST_F(CanvasCommand, ThreeDimensionalMonoSetsUpProjectionQuadricAndDepth)
{
    Load();
    EXPECT_EQ(Run("canvas 200 100 persp 45 1.5 100 10"), "");
    EXPECT_EQ(Strings(host.calls.begin() + 3, host.calls.end()),
              (Strings{"SelectCanvas(canvas2, 1)", "ShowCanvasWindow()", "GetViewRect(CanvasView, 0)",
                       "GetViewRect(SceneView, 0)", "SetProjection(SceneView, 0, 45, 1.5, 100, 10)",
                       "SetStereoView(SceneView, 0, 0)", "RefreshCanvas(0, -1)"}));
    EXPECT_EQ(recording_gl::Calls(), (std::vector<GlCall>{Call("gluNewQuadric", {1}), Call("glEnable", {GL_DEPTH_TEST}),
                                                          Call("glEnable", {GL_NORMALIZE})}));
    EXPECT_EQ(SceneView.rect.right, 200);
}

TEST_F(CanvasCommand, ThreeDimensionalStereoPassesEveryTokenOnInOrder)
{
    Load();
    host.marginBias = 2;
    EXPECT_EQ(Run("canvas 200 100 3 ortho 2.5 0.5 50 8 0.25 -4"), "");
    EXPECT_EQ(Strings(host.calls.begin() + 4, host.calls.end()),
              (Strings{"SelectCanvas(canvas2, 1)", "ShowCanvasWindow()", "GetViewRect(CanvasView, 0)",
                       "SetRightCanvas(canvas3)", "SetViewMargin(CanvasView, 3, 0, 0)", "GetViewRect(SceneView, 0)",
                       "SetViewMargin(SceneView, -4, 0, 0)", "SetProjection(SceneView, 1, 2.5, 0.5, 50, 8)",
                       "SetStereoView(SceneView, 1, 0.25)", "RefreshCanvas(0, -1)"}));
    EXPECT_EQ(CanvasView.rect.left, -5);
    EXPECT_EQ(SceneView.amount, -2);
    EXPECT_EQ(SceneView.rect.left, 2) << "a negative amount narrows the scene view";
    EXPECT_EQ(SceneView.rect.right, 198);
}

TEST_F(CanvasCommand, OnlyTheExactWordOrthoSelectsOrtho)
{
    Load();
    for (const char *keyword : {"Ortho", "ORTHO", "orthographic", "persp"}) {
        ClearRecords();
        EXPECT_EQ(Run(std::string("canvas 20 20 ") + keyword + " 1 2 3 4"), "");
        EXPECT_EQ(host.CallsStartingWith("SetProjection"), (Strings{"SetProjection(SceneView, 0, 1, 2, 3, 4)"}))
            << keyword;
    }
}

TEST_F(CanvasCommand, EveryThreeDimensionalFormMakesAFreshQuadric)
{
    Load();
    Run("canvas 20 20 persp 1 2 3 4");
    Run("canvas 20 20 persp 1 2 3 4");
    EXPECT_EQ(recording_gl::CallsNamed({"gluNewQuadric", "gluDeleteQuadric"}),
              (std::vector<GlCall>{Call("gluNewQuadric", {1}), Call("gluDeleteQuadric", {1}),
                                   Call("gluNewQuadric", {2})}));
    EXPECT_EQ(recording_gl::LiveQuadrics(), 1);
    ClearRecords();
    ViewRecord scene = SceneView;
    GLUquadric *quadric = Quadric;
    EXPECT_EQ(Run("canvas 30 30"), "");
    EXPECT_TRUE(recording_gl::Calls().empty()) << "a flat form keeps the quadric";
    EXPECT_EQ(Quadric, quadric);
    EXPECT_EQ(SceneView.rect.right, scene.rect.right);
}

TEST_F(CanvasCommand, AcceptedCommandRenewsThePointStore)
{
    LoadWithCanvas("canvas 20 20 persp 1 2 3 4");
    StoreOneArray();
    ArrayCount = 2; // a counted empty slot as well
    EXPECT_EQ(Run("canvas 20 20 persp 1 2 3 4"), "");
    ASSERT_NE(ArraySlots, nullptr);
    EXPECT_EQ(ArrayCount, 0);
    for (int i = 0; i < POINT_ARRAY_SLOTS; i++) {
        EXPECT_EQ(ArraySlots[i], nullptr);
        EXPECT_EQ(ArrayLengths[i], 0);
    }
}

TEST_F(CanvasCommand, LeftCanvasTooLargeLeavesNoCanvasButARenewedStore)
{
    LoadWithCanvas("canvas 20 20 persp 1 2 3 4");
    StoreOneArray();
    GLUquadric *quadric = Quadric;
    ViewRecord view = CanvasView;
    host.acceptCanvas = [](int, int) { return false; };
    EXPECT_EQ(Run("canvas 9000 20 persp 1 2 3 4"), "Error! Too large canvas");
    EXPECT_EQ(host.calls, (Strings{"SelectCanvas(none, 0)", "DestroyCanvas(canvas2)", "CreateCanvas(9000, 20)"}));
    EXPECT_EQ(LeftCanvas, nullptr);
    EXPECT_EQ(ArrayCount, 0);
    EXPECT_EQ(ArraySlots[0], nullptr);
    EXPECT_EQ(Quadric, quadric);
    EXPECT_EQ(CanvasView.rect.right, view.rect.right);
    EXPECT_TRUE(recording_gl::Calls().empty());
    host.hasCanvas = 0;
    EXPECT_EQ(Run("clear"), "Error! No canvas");
}

TEST_F(CanvasCommand, RightCanvasTooLargeLeavesNothingHalfMade)
{
    Load();
    int made = 0;
    host.acceptCanvas = [&made](int, int) { return ++made < 2; }; // the left only
    ClearRecords();
    EXPECT_EQ(Run("canvas 100 80 2 persp 1 2 3 4 0.5 0"), "Error! Too large canvas");
    EXPECT_EQ(host.calls, (Strings{"SelectCanvas(none, 0)", "DestroyCanvas(canvas1)", "CreateCanvas(100, 80)",
                                   "CreateCanvas(100, 80)", "DestroyCanvas(canvas2)"}));
    EXPECT_EQ(LeftCanvas, nullptr);
    EXPECT_EQ(RightCanvas, nullptr);
    EXPECT_EQ(Quadric, nullptr);
    EXPECT_TRUE(recording_gl::Calls().empty());
}

TEST_F(CanvasCommand, SizesThatAreNotPositiveNumbersNeverReachTheHost)
{
    Load();
    for (const char *line : {"canvas 0 100", "canvas 100 -5", "canvas wide 100", "canvas 100 0 persp 1 2 3 4"}) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! Too large canvas") << line;
        EXPECT_TRUE(host.CallsStartingWith("CreateCanvas").empty()) << line;
        EXPECT_TRUE(recording_gl::Calls().empty()) << line;
    }
}

}
