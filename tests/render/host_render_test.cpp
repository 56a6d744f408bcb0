// The host rendering through Mesa: 3D canvases, stereo pairs, frames, and the
// host entries behind them. Where the plug-in has no drawing command yet the
// tests draw with OpenGL themselves; their calls pass the same boundary as
// the module's, so the right eye sees them exactly as it sees the module's.
#include "tests/render/render_harness.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

using render::Blob;
using render::Box;
using render::FindNear;
using render::Image;
using render::RenderSession;
using render::Rgb;

const uint32_t White = Rgb(255, 255, 255), Black = Rgb(0, 0, 0), Red = Rgb(255, 0, 0);

// A square of side 2 * half centred on (x, y, z), facing +z, in colour c.
void Square(double x, double y, double z, double half, uint32_t c)
{
    glColor3ub(GLubyte(render::Red(c)), GLubyte(render::Green(c)), GLubyte(render::Blue(c)));
    glBegin(GL_QUADS);
    glVertex3d(x - half, y - half, z);
    glVertex3d(x + half, y - half, z);
    glVertex3d(x + half, y + half, z);
    glVertex3d(x - half, y + half, z);
    glEnd();
}

void ClearTo(float r, float g, float b)
{
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

template <typename Entry> Entry HostEntryOf(RenderSession &session, int index)
{
    return reinterpret_cast<Entry>(session.Session().Host().Table()[index]);
}

// Ends the frame as the plug-in's finish command does: through the host table.
void FinishFrame(RenderSession &session)
{
    HostEntryOf<FinishModelEntry>(session, HOST_FINISH_MODEL)();
}

TEST(Render, MonoCanvasShowsTheClearedFrameAfterFinish)
{
    RenderSession session;
    EXPECT_EQ(session.Command("canvas 160 120 persp 30 1 100 10"), "");
    ClearTo(0.2f, 0.4f, 0.8f);
    FinishFrame(session);
    auto run = session.Finish();
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    ASSERT_EQ(run.window.width, 160);
    ASSERT_EQ(run.window.height, 120);
    uint32_t expected = Rgb(51, 102, 204);
    EXPECT_EQ(render::CountNear(run.window, expected, 1), 160 * 120) << render::Describe(run.window.At(0, 0));
    ASSERT_EQ(run.frames.size(), 1u);
    EXPECT_TRUE(run.right.Empty());
    EXPECT_TRUE(run.rightFrames.empty());
}

TEST(Render, NewThreeDCanvasIsWhiteUntilAFrameIsFinished)
{
    RenderSession session;
    session.Command("canvas 64 48 persp 30 1 100 10");
    ClearTo(0, 0, 0);
    auto run = session.Finish();
    // Drawn but not finished: the canvas still shows white, and the user is told why.
    EXPECT_EQ(render::CountNear(run.window, White, 0), 64 * 48);
    EXPECT_TRUE(run.Said("test.tsl: Hint: a 3D frame was drawn but never finished")) << run.AllMessages();
    EXPECT_EQ(run.status, 0);

    RenderSession finished;
    finished.Command("canvas 64 48 persp 30 1 100 10");
    ClearTo(0, 0, 0);
    FinishFrame(finished);
    run = finished.Finish();
    EXPECT_EQ(render::CountNear(run.window, Black, 0), 64 * 48);
    EXPECT_FALSE(run.Said("Hint")) << run.AllMessages();
}

TEST(Render, FrameIsUprightAndCentredOnTheOrigin)
{
    RenderSession session;
    session.Command("canvas 200 100 persp 30 1 100 10");
    ClearTo(1, 1, 1);
    glDisable(GL_DEPTH_TEST);
    Square(0, 0, 0, 0.3, Black);
    Square(0, 1.5, 0, 0.3, Red); // above the origin: must land in the upper half
    FinishFrame(session);
    auto run = session.Finish();
    Blob origin = FindNear(run.window, Black, 8);
    Blob above = FindNear(run.window, Red, 8);
    ASSERT_GT(origin.count, 20);
    ASSERT_GT(above.count, 20);
    EXPECT_NEAR(origin.x, 99.5, 0.6);
    EXPECT_NEAR(origin.y, 49.5, 0.6);
    EXPECT_NEAR(above.x, 99.5, 0.6);
    EXPECT_LT(above.y, origin.y - 10);
    // Vertical field of view 30 degrees at distance 10: 1.5 units up is
    // 1.5 / (10 tan 15deg) of the half-height of 50 pixels.
    double expectedRise = 1.5 / (10 * std::tan(15 * 3.14159265358979 / 180)) * 50;
    EXPECT_NEAR(origin.y - above.y, expectedRise, 1.0);
}

TEST(Render, OrthographicViewShowsHalfHeightAtTheOrigin)
{
    RenderSession session;
    session.Command("canvas 200 100 ortho 2 1 100 10");
    ClearTo(1, 1, 1);
    Square(0, 0, 0, 1, Black); // half-height 1 of 2: the middle half of the rows
    FinishFrame(session);
    auto run = session.Finish();
    Blob square = FindNear(run.window, Black, 8);
    EXPECT_NEAR(square.bounds.bottom - square.bounds.top, 50, 1);
    EXPECT_NEAR(square.bounds.right - square.bounds.left, 50, 1);
}

// Stereo pair: "canvas W H amount proj a b c d separation sceneAmount".
TEST(Render, StereoPairHasZeroParallaxAtTheOriginAndOppositeShiftsInFront)
{
    const double pi = 3.14159265358979;
    // Separation 2, distance 10, a point 3 in front of the origin: seen from
    // each eye it meets the plane z = 0 at 1 * 3 / 7 (perspective) or moves by
    // 1 * 3 / 10 (orthographic shear); both views are 60 pixels per half-height.
    struct Case {
        const char *projection;
        double expectedShift;
    } cases[] = {
        {"persp 30 1 100 10", 3.0 / 7.0 * 60 / (10 * std::tan(15 * pi / 180))},
        {"ortho 3 1 100 10", 3.0 / 10.0 * 60 / 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.projection);
        RenderSession session;
        EXPECT_EQ(session.Command(std::string("canvas 240 120 0 ") + c.projection + " 2 0"), "");
        ClearTo(1, 1, 1);
        glDisable(GL_DEPTH_TEST);
        Square(0, 0, 0, 0.2, Black);  // on the zero-parallax plane
        Square(0, 1, 3, 0.2, Red);    // in front of it
        FinishFrame(session);
        auto run = session.Finish();
        ASSERT_EQ(run.status, 0) << run.AllMessages();
        ASSERT_FALSE(run.right.Empty());
        Blob leftOrigin = FindNear(run.window, Black, 8), rightOrigin = FindNear(run.right, Black, 8);
        Blob leftFront = FindNear(run.window, Red, 8), rightFront = FindNear(run.right, Red, 8);
        ASSERT_GT(leftOrigin.count, 10);
        ASSERT_GT(leftFront.count, 10);
        EXPECT_NEAR(leftOrigin.x, rightOrigin.x, 0.01);
        EXPECT_NEAR(leftOrigin.y, rightOrigin.y, 0.01);
        EXPECT_NEAR(leftOrigin.x, 119.5, 0.6);
        // In front of the plane the left eye sees the point to the right and
        // the right eye to the left, by the same amount, with no vertical shift.
        EXPECT_NEAR(leftFront.x - leftOrigin.x, c.expectedShift, 0.6);
        EXPECT_NEAR(rightFront.x - rightOrigin.x, -c.expectedShift, 0.6);
        EXPECT_NEAR(leftFront.y, rightFront.y, 0.01);
        ASSERT_EQ(run.frames.size(), 1u);
        ASSERT_EQ(run.rightFrames.size(), 1u);
    }
}

// A lit, transformed scene with state changes of many kinds between frames.
void BusyScene(int frame)
{
    ClearTo(0.1f, 0.1f, 0.2f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat position[4] = {1, 1, 1, 0}, ambient[4] = {0.2f, 0.2f, 0.2f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    const GLfloat diffuse[4] = {0.8f, 0.3f, 0.2f, 1}, specular[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 40);
    glPushMatrix();
    glRotatef(25.0f + 10 * frame, 1, 1, 0);
    for (int i = 0; i < 24; i++) {
        double a0 = i * 2 * 3.14159265 / 24, a1 = (i + 1) * 2 * 3.14159265 / 24;
        glBegin(GL_QUADS);
        glNormal3d(std::cos(a0), std::sin(a0), 0);
        glVertex3d(2 * std::cos(a0), 2 * std::sin(a0), -1);
        glVertex3d(2 * std::cos(a0), 2 * std::sin(a0), 1);
        glNormal3d(std::cos(a1), std::sin(a1), 0);
        glVertex3d(2 * std::cos(a1), 2 * std::sin(a1), 1);
        glVertex3d(2 * std::cos(a1), 2 * std::sin(a1), -1);
        glEnd();
    }
    glPopMatrix();
    glPolygonMode(GL_FRONT_AND_BACK, frame % 2 ? GL_LINE : GL_FILL);
    glLineWidth(2);
}

TEST(Render, BothEyesAreExactWhenTheEyesCoincide)
{
    // Separation 0: the two eyes have the same camera, so the right eye,
    // made by repeating the left eye's calls, must match it pixel for pixel,
    // frame after frame, with state carried from one frame into the next.
    RenderSession session;
    session.Command("canvas 160 120 0 persp 30 1 100 10 0 0");
    for (int frame = 0; frame < 3; frame++) {
        BusyScene(frame);
        FinishFrame(session);
    }
    auto run = session.Finish();
    ASSERT_EQ(run.frames.size(), 3u);
    ASSERT_EQ(run.rightFrames.size(), 3u);
    for (int frame = 0; frame < 3; frame++) {
        SCOPED_TRACE(frame);
        EXPECT_GT(render::FindUnlike(run.frames[frame], Rgb(26, 26, 51), 2).count, 500);
        EXPECT_EQ(run.frames[frame].pixels, run.rightFrames[frame].pixels);
    }
    EXPECT_NE(run.frames[0].pixels, run.frames[1].pixels);
}

// Calls whose pointers the right eye must get copies of: pixel rectangles,
// bitmaps, textures, stipples, list names and parameter vectors. The client
// memory is overwritten right after each call, before the frame is finished.
void PointerScene()
{
    ClearTo(1, 1, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 9); // rows of 9 pixels, 7 of them used
    std::vector<GLubyte> pixels(9 * 5 * 3);
    for (std::size_t i = 0; i < pixels.size(); i++)
        pixels[i] = GLubyte(i * 37);
    glRasterPos2d(-3, 1);
    glDrawPixels(7, 5, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::fill(pixels.begin(), pixels.end(), 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);

    GLubyte bits[3 * 10];
    for (int i = 0; i < 30; i++)
        bits[i] = GLubyte(0xA5 ^ i);
    glColor3d(0, 0, 1);
    glRasterPos2d(-2, -1);
    glBitmap(20, 10, 0, 0, 0, 0, bits);
    std::fill(std::begin(bits), std::end(bits), 0);

    std::vector<GLubyte> texels(3 * 3 * 3);
    for (std::size_t i = 0; i < texels.size(); i++)
        texels[i] = GLubyte(255 - i * 9);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 3, 3, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    std::fill(texels.begin(), texels.end(), 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    GLfloat border[4] = {0.2f, 0.9f, 0.4f, 1};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    std::fill(std::begin(border), std::end(border), 0.0f);
    glEnable(GL_TEXTURE_2D);
    GLuint list = glGenLists(2);
    glNewList(list + 1, GL_COMPILE);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0), glVertex2d(0, 0);
    glTexCoord2d(1, 0), glVertex2d(2, 0);
    glTexCoord2d(1, 1), glVertex2d(2, 2);
    glTexCoord2d(0, 1), glVertex2d(0, 2);
    glEnd();
    glEndList();
    GLushort names[2] = {GLushort(list + 1), GLushort(list + 1)};
    glCallLists(1, GL_UNSIGNED_SHORT, names);
    names[0] = 0;
    glDisable(GL_TEXTURE_2D);

    GLubyte stipple[128];
    for (int i = 0; i < 128; i++)
        stipple[i] = GLubyte(i % 3 ? 0xF0 : 0x0F);
    glPolygonStipple(stipple);
    std::fill(std::begin(stipple), std::end(stipple), 0xFF);
    glEnable(GL_POLYGON_STIPPLE);
    GLfloat fog[4] = {0.9f, 0.1f, 0.8f, 1};
    glFogfv(GL_FOG_COLOR, fog);
    std::fill(std::begin(fog), std::end(fog), 0.0f);
    glFogf(GL_FOG_DENSITY, 0.2f);
    glEnable(GL_FOG);
    Square(-1, -1.5, 0, 0.8, Red);
    glDisable(GL_FOG);
    glDisable(GL_POLYGON_STIPPLE);
}

TEST(Render, RightEyeGetsCopiesOfEveryPointerArgument)
{
    RenderSession session;
    session.Command("canvas 160 120 0 persp 30 1 100 10 0 0");
    PointerScene();
    FinishFrame(session);
    auto run = session.Finish();
    ASSERT_EQ(run.rightFrames.size(), 1u);
    EXPECT_GT(render::FindUnlike(run.window, White, 0).count, 1000);
    EXPECT_EQ(run.window.pixels, run.right.pixels);
    EXPECT_FALSE(run.Said("Warning")) << run.AllMessages();
}

TEST(Render, MonoCanvasAfterStereoStartsFresh)
{
    RenderSession session;
    session.Command("canvas 80 60 0 persp 30 1 100 10 1 0");
    ClearTo(0, 0, 0);
    glEnable(GL_LIGHTING);
    FinishFrame(session);
    session.Command("canvas 80 60 persp 30 1 100 10");
    // A new canvas gets a fresh context: lighting is off again.
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)); // the canvas command's own set-up
    auto run = session.Finish();
    EXPECT_TRUE(run.right.Empty());
}

TEST(Render, AnaglyphCombinesTheEyesIntoTheLeftCanvas)
{
    RenderSession session;
    session.Command("canvas 200 100 0 persp 30 1 100 10 1 0");
    ClearTo(1, 1, 1);
    Square(0, 0, 4, 0.3, Black); // in front: the eyes see it apart
    FinishFrame(session);
    auto anaglyph = HostEntryOf<MakeAnaglyphEntry>(session, HOST_MAKE_ANAGLYPH);
    anaglyph(0x0000FF, 0xFFFF00); // left eye red, right eye cyan
    auto run = session.Finish();
    // Where only the left eye sees black the red channel is gone: cyan; where
    // only the right eye does, red; white where neither does.
    Blob cyan = FindNear(run.window, Rgb(0, 255, 255), 2);
    Blob red = FindNear(run.window, Red, 2);
    ASSERT_GT(cyan.count, 20);
    ASSERT_GT(red.count, 20);
    EXPECT_GT(cyan.x, red.x);
    EXPECT_GT(render::CountNear(run.window, White, 0), 200 * 100 / 2);
    // The right canvas is kept; the side-by-side image uses the eyes.
    EXPECT_EQ(render::CountNear(run.right, Rgb(0, 255, 255), 2), 0);
    EXPECT_EQ(run.sideBySide.width, 400);
    EXPECT_EQ(render::CountNear(run.sideBySide, Rgb(0, 255, 255), 2), 0);
    EXPECT_GT(render::CountNear(run.sideBySide, Black, 8), 40);
}

TEST(Render, AnaglyphWithoutAPairChangesNothingAndSaysSo)
{
    RenderSession session;
    session.Command("canvas 40 30");
    auto anaglyph = HostEntryOf<MakeAnaglyphEntry>(session, HOST_MAKE_ANAGLYPH);
    anaglyph(0x0000FF, 0xFFFF00);
    auto run = session.Finish();
    EXPECT_TRUE(run.Said("needs a stereo canvas pair")) << run.AllMessages();
    EXPECT_EQ(render::CountNear(run.window, White, 0), 40 * 30);
}

TEST(Render, ProjectionThatMakesNoViewLeavesModellingUnbegun)
{
    auto run = render::RenderScript("canvas 100 80 persp 30 0 100 10\nfinish\n");
    EXPECT_TRUE(run.Said("test.tsl:1: Error! The 3D view cannot be set up: the near clipping distance"))
        << run.AllMessages();
    EXPECT_TRUE(run.Said("test.tsl:2: Error! Modeling not begun"));
    EXPECT_EQ(run.status, 1);
}

TEST(Render, ZeroHeightViewportDrawsNothingAndKeepsGoing)
{
    RenderSession session;
    session.Command("canvas 100 80 persp 30 1 100 10");
    ViewRecord view{0, {0, 40, 100, 40}};
    HostEntryOf<SetStereoViewEntry>(session, HOST_SET_STEREO_VIEW)(&view, 0, 0.0);
    ClearTo(0, 0, 0); // a clear ignores the viewport
    Square(0, 0, 0, 5, Red);
    FinishFrame(session);
    auto run = session.Finish();
    EXPECT_EQ(render::CountNear(run.window, Black, 0), 100 * 80);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
}

TEST(Render, ViewportIsTheSceneRectangleAsThePlugInLeftIt)
{
    // Scene amount -30: the plug-in narrows its scene rectangle by 30 pixels
    // at the left and at the right; drawing stays inside, the clear does not.
    RenderSession session;
    session.Command("canvas 200 100 0 persp 30 1 100 10 0.5 -30");
    ClearTo(0, 0, 1);
    Square(0, 0, 0, 50, Red);
    FinishFrame(session);
    auto run = session.Finish();
    for (const Image *eye : {&run.window, &run.right}) {
        Blob drawn = FindNear(*eye, Red, 2);
        EXPECT_EQ(drawn.bounds.left, 30);
        EXPECT_EQ(drawn.bounds.right, 170);
        EXPECT_EQ(drawn.count, 140 * 100);
        EXPECT_EQ(render::CountNear(*eye, Rgb(0, 0, 255), 0), 60 * 100);
    }
}

TEST(Render, EveryFinishIsAFrame)
{
    RenderSession session;
    session.Command("canvas 32 32 persp 30 1 100 10");
    ClearTo(1, 0, 0);
    FinishFrame(session);
    ClearTo(0, 1, 0);
    FinishFrame(session);
    auto run = session.Finish();
    ASSERT_EQ(run.frames.size(), 2u);
    EXPECT_EQ(run.frames[0].At(5, 5), Red);
    EXPECT_EQ(run.frames[1].At(5, 5), Rgb(0, 255, 0));
    EXPECT_EQ(run.window.At(5, 5), Rgb(0, 255, 0));
}

} // namespace

namespace {

TEST(Render, FramesAreWrittenAsNumberedPngsForBothEyes)
{
    render::RenderOptions options;
    options.framesPrefix = render::ScratchDirectory() + "/frame";
    RenderSession session(options);
    session.Command("canvas 32 24 0 persp 30 1 100 10 1 0");
    ClearTo(1, 0, 0);
    FinishFrame(session);
    ClearTo(0, 0, 1);
    FinishFrame(session);
    auto run = session.Finish();
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    struct Expected {
        const char *suffix;
        uint32_t colour;
    } files[] = {{"-0001.png", Red}, {"-0001-right.png", Red}, {"-0002.png", Rgb(0, 0, 255)},
                 {"-0002-right.png", Rgb(0, 0, 255)}};
    for (const Expected &file : files) {
        auto image = render::LoadPng(options.framesPrefix + file.suffix);
        ASSERT_TRUE(image) << file.suffix;
        EXPECT_EQ(render::CountNear(*image, file.colour, 0), 32 * 24) << file.suffix;
    }
    EXPECT_FALSE(std::filesystem::exists(options.framesPrefix + "-0003.png"));
}

TEST(Render, AFrameThatCannotBeWrittenStopsTheRun)
{
    render::RenderOptions options;
    options.framesPrefix = "/nonexistent/directory/frame";
    RenderSession session(options);
    session.Command("canvas 32 24 persp 30 1 100 10");
    FinishFrame(session);
    EXPECT_TRUE(session.Session().Stopped());
    auto run = session.Finish();
    EXPECT_TRUE(run.Said("Error! frame 1: cannot write /nonexistent/directory/frame-0001.png")) << run.AllMessages();
    EXPECT_EQ(run.status, 1);
}

} // namespace
