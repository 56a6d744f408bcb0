// Light, materials, transforms, frame control, render styles and facing: the
// exact OpenGL and GLU calls of each command, and wrong token counts that
// change nothing.
#include "tests/doubles/plugin_fixture.h"
#include "scene/scene.h"

namespace {

using Scene = PluginTest;
using Calls = std::vector<GlCall>;

// The id the recording GLU gave the quadric of the last canvas command.
double QuadricNow()
{
    return recording_gl::QuadricId(Quadric);
}

TEST_F(Scene, LightSwitchesOnAndAimsADirectionalLight)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("light"), "");
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("glEnable", {GL_LIGHTING}), Call("glEnable", {GL_LIGHT0})}))
        << "one token keeps the light's position";
    recording_gl::Reset();
    EXPECT_EQ(Run("light 0 0 1"), "");
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("glEnable", {GL_LIGHTING}), Call("glEnable", {GL_LIGHT0}),
                                            Call("glLightfv", {GL_LIGHT0, GL_POSITION, 0, 0, 1, 0})}));
    recording_gl::Reset();
    EXPECT_EQ(Run("light 2.5 -1 x"), "");
    EXPECT_EQ(recording_gl::Calls().back(), Call("glLightfv", {GL_LIGHT0, GL_POSITION, 2.5, -1, 0, 0}));
}

TEST_F(Scene, ColoursAndMaterialsAreOpaque)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("ambient 0.25 0.5 0.75"), "");
    EXPECT_EQ(Run("color 1 0 0"), "");
    EXPECT_EQ(Run("diffuse 0 0 1"), "");
    EXPECT_EQ(Run("emit 0 0 0"), "");
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("glLightfv", {GL_LIGHT0, GL_AMBIENT, 0.25, 0.5, 0.75, 1}),
                                            Call("glColor4fv", {1, 0, 0, 1}),
                                            Call("glMaterialfv", {GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, 0, 0, 1, 1}),
                                            Call("glMaterialfv", {GL_FRONT_AND_BACK, GL_EMISSION, 0, 0, 0, 1})}));
}

TEST_F(Scene, ShineSetsAnIntegerExponentBeforeTheColour)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("shine 50 1 1 1"), "");
    EXPECT_EQ(Run("shine 12.7 0.1 0.2 0.3"), "");
    EXPECT_EQ(recording_gl::Calls(),
              (Calls{Call("glMateriali", {GL_FRONT_AND_BACK, GL_SHININESS, 50}),
                     Call("glMaterialfv", {GL_FRONT_AND_BACK, GL_SPECULAR, 1, 1, 1, 1}),
                     Call("glMateriali", {GL_FRONT_AND_BACK, GL_SHININESS, 12}),
                     Call("glMaterialfv", {GL_FRONT_AND_BACK, GL_SPECULAR, 0.1f, 0.2f, 0.3f, 1})}));
}

TEST_F(Scene, ClearWithOneTokenKeepsTheColourBuffer)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("clear"), "");
    EXPECT_EQ(Run("clear 1 1 1"), "");
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("glClear", {GL_DEPTH_BUFFER_BIT}), Call("glClearColor", {1, 1, 1, 1}),
                                            Call("glClear", {0x4100})}));
}

TEST_F(Scene, FinishAsksTheHostToEndTheFrame)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("finish"), "");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()", "FinishModel()"}));
    EXPECT_TRUE(recording_gl::Calls().empty());
    ClearRecords();
    EXPECT_EQ(Run("finish now"), "Error! Wrong number of tokens");
    host.isModeling = 0;
    EXPECT_EQ(Run("finish"), "Error! Modeling not begun");
    EXPECT_TRUE(host.CallsStartingWith("FinishModel").empty());
}

TEST_F(Scene, TransformsActOnTheCurrentMatrix)
{
    LoadWithCanvas();
    for (const char *line : {"push", "rotate 90 0 0 1", "scale 2 0.5 -1", "move 1 2 3", "move a b c", "pop", "pop"})
        EXPECT_EQ(Run(line), "") << line;
    EXPECT_EQ(recording_gl::Calls(),
              (Calls{Call("glPushMatrix"), Call("glRotatef", {90, 0, 0, 1}), Call("glScalef", {2, 0.5, -1}),
                     Call("glTranslatef", {1, 2, 3}), Call("glTranslatef", {0, 0, 0}), Call("glPopMatrix"), Call("glPopMatrix")}))
        << "a pop with nothing pushed still succeeds";
}

TEST_F(Scene, StylesSetTheModeTheQuadricAndTheValueInOrder)
{
    LoadWithCanvas();
    double q = QuadricNow();
    ASSERT_NE(q, 0);
    EXPECT_EQ(Run("wire"), "");
    EXPECT_EQ(RenderStyle, STYLE_WIRE);
    EXPECT_EQ(Run("dot"), "");
    EXPECT_EQ(RenderStyle, STYLE_DOT);
    EXPECT_EQ(Run("solid"), "");
    EXPECT_EQ(RenderStyle, STYLE_SOLID);
    EXPECT_EQ(recording_gl::Calls(),
              (Calls{Call("glPolygonMode", {GL_FRONT_AND_BACK, GL_LINE}), Call("gluQuadricNormals", {q, GLU_SMOOTH}),
                     Call("gluQuadricDrawStyle", {q, GLU_LINE}), Call("glPolygonMode", {GL_FRONT_AND_BACK, GL_POINT}),
                     Call("gluQuadricNormals", {q, GLU_SMOOTH}), Call("gluQuadricDrawStyle", {q, GLU_POINT}),
                     Call("glPolygonMode", {GL_FRONT_AND_BACK, GL_FILL}), Call("gluQuadricNormals", {q, GLU_FLAT}),
                     Call("gluQuadricDrawStyle", {q, GLU_FILL})}));
}

TEST_F(Scene, WireAndDotTakeAnOptionalSize)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("wire 3"), "");
    EXPECT_EQ(recording_gl::Calls().back(), Call("glLineWidth", {3}));
    EXPECT_EQ(Run("dot 4.5"), "");
    EXPECT_EQ(recording_gl::Calls().back(), Call("glPointSize", {4.5}));
    recording_gl::Reset();
    EXPECT_EQ(Run("wire"), "");
    EXPECT_EQ(Run("dot"), "");
    EXPECT_TRUE(recording_gl::CallsNamed({"glLineWidth", "glPointSize"}).empty());
}

TEST_F(Scene, OrientationSetsTheFlagAndTheQuadric)
{
    LoadWithCanvas();
    double q = QuadricNow();
    EXPECT_EQ(Run("in"), "");
    EXPECT_EQ(OrientationOutside, 0);
    EXPECT_EQ(Run("out"), "");
    EXPECT_EQ(OrientationOutside, 1);
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("gluQuadricOrientation", {q, GLU_INSIDE}),
                                            Call("gluQuadricOrientation", {q, GLU_OUTSIDE})}));
}

TEST_F(Scene, StyleAndFacingOutliveANewCanvasButItsQuadricStartsAfresh)
{
    LoadWithCanvas();
    Run("wire");
    Run("in");
    double old = QuadricNow();
    recording_gl::Reset();
    EXPECT_EQ(Run("canvas 100 100 persp 45 1 100 10"), "");
    EXPECT_EQ(RenderStyle, STYLE_WIRE);
    EXPECT_EQ(OrientationOutside, 0);
    EXPECT_NE(QuadricNow(), old);
    EXPECT_TRUE(recording_gl::CallsNamed({"gluQuadricNormals", "gluQuadricDrawStyle", "gluQuadricOrientation"}).empty())
        << "the new quadric keeps GLU's defaults";
}

TEST_F(Scene, StylesWithoutAQuadricSkipOnlyTheQuadric)
{
    Load(); // the welcome canvas is flat: no quadric exists
    ASSERT_EQ(Quadric, nullptr);
    EXPECT_EQ(Run("wire 2"), "");
    EXPECT_EQ(Run("in"), "");
    EXPECT_EQ(RenderStyle, STYLE_WIRE);
    EXPECT_EQ(OrientationOutside, 0);
    EXPECT_EQ(Run("dot"), "");
    EXPECT_EQ(Run("solid"), "");
    EXPECT_EQ(Run("out"), "");
    EXPECT_EQ(RenderStyle, STYLE_SOLID);
    EXPECT_EQ(OrientationOutside, 1);
    EXPECT_EQ(recording_gl::Calls(),
              (Calls{Call("glPolygonMode", {GL_FRONT_AND_BACK, GL_LINE}), Call("glLineWidth", {2}),
                     Call("glPolygonMode", {GL_FRONT_AND_BACK, GL_POINT}), Call("glPolygonMode", {GL_FRONT_AND_BACK, GL_FILL})}));
}

}
