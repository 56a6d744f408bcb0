// Redrawing the last finished frame from its record with another camera,
// without running the script again: the same pixels as running it with that
// camera from the start.
#include "app/gl/boundary.h"
#include "tests/render/render_harness.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using render::Image;
using render::RenderSession;

tesselin::Camera Orbit(double azimuth, double elevation, std::optional<double> distance = {})
{
    tesselin::Camera camera;
    camera.azimuth = azimuth;
    camera.elevation = elevation;
    camera.distance = distance;
    return camera;
}

void RunLines(RenderSession &session, std::string_view script)
{
    session.Lines(script);
}

const std::string Lit = "clear 0.1 0.1 0.2\nlight -1 1 1\nambient 0.3 0.3 0.3\n";
const std::string Solids = "rotate -60 1 0 0\ndiffuse 0.8 0.3 0.2\ntorus 2 0 360 16 x 360 24 x\n"
                           "push\nmove -2 0 1\ndiffuse 0.2 0.8 0.3\nsphere 10 14 smooth\npop\n"
                           "push\nmove 1 1 2\ndiffuse 0.9 0.9 0.2\ncylinder 0.3 0.3 2 12 smooth\npop\n";

struct Script {
    const char *name;
    std::string text;
} Scripts[] = {
    {"mono", "canvas 160 120 persp 30 1 100 10\n" + Lit + Solids + "finish\n"},
    {"stereo", "canvas 160 120 0 persp 30 1 100 10 0.6 0\n" + Lit + Solids + "finish\n"},
    {"anaglyph", "canvas 160 120 0 persp 30 1 100 10 0.6 0\n" + Lit + Solids + "finish\nanaglyph 1 0 0 0 1 1\n"},
    // Two frames, the second drawn over the first, the transforms carried on.
    {"two frames", "canvas 160 120 persp 30 1 100 10\n" + Lit + Solids + "finish\nclear\nrotate 40 0 0 1\n" +
                       "diffuse 0.3 0.3 0.9\ntorus 1 0 360 12 x 360 16 x\nfinish\n"},
    {"orthographic stereo", "canvas 160 120 0 ortho 3 1 100 10 0.6 0\n" + Lit + Solids + "finish\n"},
};

struct Shown {
    Image window, right;
};

Shown Show(RenderSession &session)
{
    tesselin::CanvasHost &host = session.Session().Host();
    Shown shown;
    shown.window = host.WindowCanvas()->Snapshot();
    if (host.RightCanvas())
        shown.right = host.RightCanvas()->Snapshot();
    return shown;
}

Shown RunWithCamera(const std::string &script, const tesselin::Camera &camera)
{
    render::RenderOptions options;
    options.camera = camera;
    RenderSession session(options);
    RunLines(session, script);
    return Show(session);
}

TEST(Redraw, RedrawnFrameEqualsARunWithThatCamera)
{
    const tesselin::Camera cameras[] = {Orbit(180, 0), Orbit(35, 20), Orbit(-70, -25, 14), Orbit(0, 0)};
    for (const Script &script : Scripts) {
        // One host at a time: the runs with each camera first.
        std::vector<Shown> expected;
        for (const tesselin::Camera &camera : cameras)
            expected.push_back(RunWithCamera(script.text, camera));
        RenderSession session;
        RunLines(session, script.text);
        Shown first = Show(session);
        for (std::size_t i = 0; i < std::size(cameras); i++) {
            const tesselin::Camera &camera = cameras[i];
            SCOPED_TRACE(testing::Message() << script.name << ", orbit " << camera.azimuth << "," << camera.elevation);
            session.Session().SetCamera(camera);
            ASSERT_TRUE(session.Session().RedrawLastFrame());
            Shown redrawn = Show(session);
            EXPECT_EQ(redrawn.window.pixels, expected[i].window.pixels);
            EXPECT_EQ(redrawn.right.pixels, expected[i].right.pixels);
            if (camera.azimuth != 0) {
                EXPECT_NE(redrawn.window.pixels, first.window.pixels) << "the camera made no difference";
            }
        }
        // Back at the start, the first picture again.
        EXPECT_EQ(Show(session).window.pixels, first.window.pixels) << script.name;
        EXPECT_EQ(session.Finish().status, 0);
    }
}

TEST(Redraw, RedrawIsReportedAsAFrameOfBothEyes)
{
    RenderSession session;
    RunLines(session, Scripts[2].text); // stereo with an anaglyph
    session.Session().SetCamera(Orbit(90, 0));
    ASSERT_TRUE(session.Session().RedrawLastFrame());
    Shown shown = Show(session);
    auto run = session.Finish();
    ASSERT_EQ(run.frames.size(), 2u);
    ASSERT_EQ(run.rightFrames.size(), 2u);
    // The frame is reported as the eyes, then the anaglyph is made of them.
    EXPECT_EQ(run.rightFrames[1].pixels, shown.right.pixels);
    EXPECT_NE(run.frames[1].pixels, shown.window.pixels);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
}

TEST(Redraw, ScriptCarriesOnWithTheNewCameraAfterARedraw)
{
    // Half the script, a redraw with the camera turned, then the rest: the
    // last frame is the one a run with that camera from the start makes.
    const std::string first = "canvas 160 120 0 persp 30 1 100 10 0.6 0\n" + Lit + Solids + "finish\n";
    const std::string rest = "clear\nrotate 25 0 1 0\ndiffuse 0.3 0.3 0.9\ntorus 1 0 360 12 x 360 16 x\nfinish\n";
    Shown expected = RunWithCamera(first + rest, Orbit(-50, 30));
    RenderSession session;
    RunLines(session, first);
    session.Session().SetCamera(Orbit(-50, 30));
    ASSERT_TRUE(session.Session().RedrawLastFrame());
    RunLines(session, rest);
    Shown carried = Show(session);
    EXPECT_EQ(carried.window.pixels, expected.window.pixels);
    EXPECT_EQ(carried.right.pixels, expected.right.pixels);
}

TEST(Redraw, LaterRedrawsInTheContextsThatDrewTheFrameEqualARunAndCarryOn)
{
    // The first redraw groups the frame into new contexts; the next ones put
    // the eyes' own contexts back as they were born and draw there. Each
    // picture, and the frames the script draws afterwards, are those of a
    // run with that camera from the start.
    struct Case {
        const char *name;
        std::string script, rest;
    } cases[] = {
        {"shiny and glowing",
         "canvas 160 120 persp 30 1 100 10\n" + Lit + "shine 40 0.6 0.6 0.6\nemit 0.1 0 0.2\n" + Solids + "finish\n",
         "clear\nemit 0 0 0\ndiffuse 0.2 0.9 0.4\nsphere 8 10 smooth\nfinish\n"},
        {"lines and dots, unlit",
         "canvas 160 120 persp 30 1 100 10\nclear 0 0 0\ncolor 1 0.5 0\nwire 3\ntorus 2 0 360 8 x 360 12 x\n"
         "dot 4\nsphere 6 8 smooth\nfinish\n",
         "clear\nsolid\ncolor 0.2 0.4 1\ncube\nfinish\n"},
        {"a push left open",
         "canvas 160 120 persp 30 1 100 10\n" + Lit + "push\nrotate 30 0 1 0\n" + Solids + "finish\n",
         "clear\npop\ndiffuse 0.9 0.9 0.9\ntorus 1 0 360 12 x 360 16 x\nfinish\n"},
        // The frame draws with the ambient light a new context has; the
        // redraws must not see the one set after it.
        {"stereo, the ambient light changed after the frame",
         "canvas 160 120 0 persp 30 1 100 10 0.6 0\nclear 0.1 0.1 0.2\nlight -1 1 1\n" + Solids +
             "finish\nambient 0.6 0.2 0.2\n",
         "clear\nsphere 10 12 smooth\nfinish\n"},
    };
    const tesselin::Camera cameras[] = {Orbit(40, 10), Orbit(-60, 25, 14), Orbit(150, -20)};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Shown> expected;
        for (const tesselin::Camera &camera : cameras)
            expected.push_back(RunWithCamera(c.script, camera));
        Shown carriedOn = RunWithCamera(c.script + c.rest, cameras[2]);
        RenderSession session;
        RunLines(session, c.script);
        for (std::size_t i = 0; i < std::size(cameras); i++) {
            SCOPED_TRACE(testing::Message() << "redraw " << i + 1);
            session.Session().SetCamera(cameras[i]);
            ASSERT_TRUE(session.Session().RedrawLastFrame());
            Shown redrawn = Show(session);
            EXPECT_EQ(redrawn.window.pixels, expected[i].window.pixels);
            EXPECT_EQ(redrawn.right.pixels, expected[i].right.pixels);
        }
        EXPECT_EQ(session.Session().Host().Times().redrawsInPlace, std::size(cameras) - 1);
        RunLines(session, c.rest);
        Shown carried = Show(session);
        EXPECT_EQ(carried.window.pixels, carriedOn.window.pixels) << "the script did not carry on as it was";
        EXPECT_EQ(carried.right.pixels, carriedOn.right.pixels);
        auto run = session.Finish();
        EXPECT_EQ(run.status, 0) << run.AllMessages();
    }
}

TEST(Redraw, AContextTheResetCannotPutBackIsReplacedByANewOne)
{
    // The eye's context is left compiling a display list, behind the
    // boundary's back: the calls of a reset would go into the list, and the
    // state read back shows it. The redraw takes a new context instead, and
    // the one after that resets the new context.
    const std::string &script = Scripts[0].text;
    const tesselin::Camera cameras[] = {Orbit(40, 10), Orbit(-60, 25), Orbit(150, -20)};
    std::vector<Shown> expected;
    for (const tesselin::Camera &camera : cameras)
        expected.push_back(RunWithCamera(script, camera));
    RenderSession session;
    RunLines(session, script);
    const tesselin::HostTimes &times = session.Session().Host().Times();
    const std::size_t inPlace[] = {0, 0, 1};
    for (std::size_t i = 0; i < std::size(cameras); i++) {
        SCOPED_TRACE(testing::Message() << "redraw " << i + 1);
        if (i == 1) {
            auto newList = reinterpret_cast<decltype(&::glNewList)>(tesselin::gl::RealEntry(tesselin::gl::Fn::glNewList));
            newList(1, GL_COMPILE);
        }
        session.Session().SetCamera(cameras[i]);
        ASSERT_TRUE(session.Session().RedrawLastFrame());
        EXPECT_EQ(Show(session).window.pixels, expected[i].window.pixels);
        EXPECT_EQ(times.redrawsInPlace, inPlace[i]);
    }
}

TEST(Redraw, NothingToRedrawSaysSoAndChangesNothing)
{
    struct Case {
        const char *name;
        std::size_t keepBytes;
        std::string script;
    } cases[] = {
        {"no frame finished yet", std::size_t(256) << 20, "canvas 160 120 persp 30 1 100 10\n" + Lit + Solids},
        {"a flat canvas", std::size_t(256) << 20, "canvas 160 120\n"},
        {"no canvas", std::size_t(256) << 20, ""},
        {"nothing kept", 0, Scripts[1].text},
        {"over the budget", 16 << 10, Scripts[1].text},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        render::RenderOptions options;
        options.streamLimits.keepBytes = c.keepBytes;
        RenderSession session(options);
        RunLines(session, c.script);
        auto before = session.Session().Host().WindowCanvas();
        std::vector<uint32_t> pixels = before ? before->pixels : std::vector<uint32_t>();
        session.Session().SetCamera(Orbit(180, 0));
        EXPECT_FALSE(session.Session().RedrawLastFrame());
        if (before) {
            EXPECT_EQ(session.Session().Host().WindowCanvas()->pixels, pixels);
        }
        auto run = session.Finish();
        EXPECT_EQ(run.status, 0) << run.AllMessages();
    }
}

TEST(Redraw, ARecordThatCannotRepeatTheFrameIsNotRedrawnAndOneEyeIsNotWarnedOf)
{
    // A vertex array is drawn without being kept; memory for the record runs
    // out. With one eye nothing drawn is wrong: only the redraw goes, and
    // running out of memory for it is a warning, not a failure.
    struct Case {
        const char *name;
        bool stereo;
        std::size_t mostBytes;
        bool vertexArray;
        const char *says;
    } cases[] = {
        {"vertex array", false, std::size_t(1) << 30, true, nullptr},
        {"no memory", false, 4 << 10, false, "Warning: out of memory keeping the frames of this canvas for redrawing"},
        // A right eye does differ: that is said.
        {"vertex array in stereo", true, std::size_t(1) << 30, true,
         "Warning: the right eye may differ from the left: glVertexPointer cannot be repeated for it"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        render::RenderOptions options;
        options.streamLimits.mostBytes = c.mostBytes;
        RenderSession session(options);
        RunLines(session, std::string(c.stereo ? "canvas 160 120 0 persp 30 1 100 10 0.6 0\n"
                                               : "canvas 160 120 persp 30 1 100 10\n") +
                              Lit);
        if (c.vertexArray) {
            const GLfloat corners[] = {-1, -1, 0, 1, -1, 0, 0, 1, 0};
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(3, GL_FLOAT, 0, corners);
            glDrawArrays(GL_TRIANGLES, 0, 3);
            glDisableClientState(GL_VERTEX_ARRAY);
        }
        RunLines(session, Solids + "finish\n");
        EXPECT_FALSE(session.Session().RedrawLastFrame());
        auto run = session.Finish();
        EXPECT_EQ(run.status, 0) << run.AllMessages();
        if (!c.stereo) {
            EXPECT_FALSE(run.Said("right eye")) << run.AllMessages();
        }
        if (c.says) {
            EXPECT_TRUE(run.Said(c.says)) << run.AllMessages();
        }
    }
}

TEST(Redraw, StereoStaysExactAfterTheKeptRecordOutgrowsItsBudget)
{
    // Eyes 0 apart; the record outgrows 64 KB in the first frame and is
    // dropped, the right eye is fed as in a batch run from then on.
    render::RenderOptions options;
    options.streamLimits.keepBytes = 64 << 10;
    options.streamLimits.feedBytes = 16 << 10;
    RenderSession session(options);
    RunLines(session, "canvas 160 120 0 persp 30 1 100 10 0 0\n" + Lit + Solids + "finish\nclear\nrotate 30 0 0 1\n" +
                          Solids + "finish\n");
    EXPECT_FALSE(session.Session().RedrawLastFrame());
    auto run = session.Finish();
    ASSERT_EQ(run.rightFrames.size(), 2u);
    for (std::size_t frame = 0; frame < 2; frame++)
        EXPECT_EQ(run.frames[frame].pixels, run.rightFrames[frame].pixels) << frame;
}

} // namespace
