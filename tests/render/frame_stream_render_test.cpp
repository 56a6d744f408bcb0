// The record of a stereo frame's OpenGL calls: the right eye is fed as the
// record grows, so what it holds stays bounded, and the eyes still match.
#include "tests/render/render_harness.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using render::RenderSession;
using render::Rgb;

// Solids, lines, points and text, in two frames, the second drawn over the
// first with state carried over. Separation 0: both eyes see the same.
const char *const BusyStereoScript = "canvas 160 120 0 persp 30 1 100 10 0 0\n"
                                     "clear 0.1 0.1 0.2\nlight -1 1 1\ndiffuse 0.8 0.3 0.2\n"
                                     "rotate 30 1 1 0\ntorus 2 0 360 24 x 360 32 x\n"
                                     "push\nmove 0 0 2\nsphere 12 16 smooth\npop\n"
                                     "push\nscale 0.3 0.3 0.3\nmove -6 -3 1\ntext 0 0 1 Tesselin\npop\nfinish\n"
                                     "clear\nrotate 20 0 0 1\ndiffuse 0.2 0.7 0.9\ntorus 1 0 360 12 x 360 16 x\nfinish\n";

// keepBytes 0: the record is dropped as the right eye is fed (as in a batch
// run); otherwise it is kept whole for redrawing.
render::RenderResult RenderWithFeed(const std::string &script, std::size_t feedBytes, std::size_t keepBytes = 0)
{
    render::RenderOptions options;
    options.streamLimits.feedBytes = feedBytes;
    options.streamLimits.keepBytes = keepBytes;
    auto run = render::RenderScript(script, options);
    EXPECT_EQ(run.status, 0) << run.AllMessages();
    return run;
}

TEST(FrameStream, RightEyeFedInPiecesMatchesTheLeftEye)
{
    // 1 byte: the right eye is fed after every call, inside primitives and
    // inside display lists; 4 KB: every few dozen calls.
    for (std::size_t keepBytes : {std::size_t(0), std::size_t(64) << 20})
    for (std::size_t feedBytes : {std::size_t(1), std::size_t(4096), std::size_t(64) << 20}) {
        SCOPED_TRACE(testing::Message() << "feed at " << feedBytes << ", keep " << keepBytes);
        auto run = RenderWithFeed(BusyStereoScript, feedBytes, keepBytes);
        ASSERT_EQ(run.frames.size(), 2u);
        ASSERT_EQ(run.rightFrames.size(), 2u);
        for (std::size_t frame = 0; frame < 2; frame++) {
            EXPECT_GT(render::FindUnlike(run.frames[frame], Rgb(26, 26, 51), 2).count, 1000);
            EXPECT_EQ(run.frames[frame].pixels, run.rightFrames[frame].pixels) << "frame " << frame;
        }
        EXPECT_NE(run.frames[0].pixels, run.frames[1].pixels);
    }
}

TEST(FrameStream, RightEyeIsTheSameWhetherFedInPiecesOrWhole)
{
    // Eyes apart: the right eye differs from the left, but not with the way it is fed.
    std::string script = BusyStereoScript;
    script.replace(script.find("10 0 0\n"), 7, "10 0.6 0\n");
    auto pieces = RenderWithFeed(script, 512), whole = RenderWithFeed(script, std::size_t(64) << 20);
    ASSERT_EQ(pieces.rightFrames.size(), 2u);
    ASSERT_EQ(whole.rightFrames.size(), 2u);
    EXPECT_NE(pieces.frames[0].pixels, pieces.rightFrames[0].pixels);
    for (std::size_t frame = 0; frame < 2; frame++)
        EXPECT_EQ(pieces.rightFrames[frame].pixels, whole.rightFrames[frame].pixels) << "frame " << frame;
}

TEST(FrameStream, BigStereoFrameHoldsOnlyAFewMegabytes)
{
    // About 20 MB of calls in one frame; the record never holds more than
    // twice the feeding point at once.
    render::RenderOptions options;
    options.streamLimits.keepBytes = 0;
    RenderSession session(options);
    session.Command("canvas 200 150 0 persp 30 1 100 10 0.5 0");
    session.Command("clear 0 0 0");
    session.Command("torus 2 0 360 300 x 360 300 x");
    session.Command("finish");
    const tesselin::HostTimes times = session.Session().Host().Times();
    auto run = session.Finish();
    ASSERT_EQ(run.status, 0) << run.AllMessages();
    ASSERT_EQ(run.rightFrames.size(), 1u);
    const std::size_t feedBytes = tesselin::StreamLimits().feedBytes;
    EXPECT_GT(times.largestStream, 4 * feedBytes) << "the frame is too small to show anything";
    EXPECT_LE(times.heldStream, 2 * feedBytes);
    EXPECT_GT(render::FindUnlike(run.right, render::Rgb(0, 0, 0), 2).count, 2000);
}

TEST(FrameStream, RecordWithoutMemoryEndsTheLineWithAnErrorAndKeepsTheLeftEye)
{
    // A record that cannot grow past 64 KB stands in for memory running out:
    // the line that lost a call fails, the left eye goes on, the right eye
    // keeps the last frame it had in full, and the run does not abort.
    render::RenderOptions options;
    options.streamLimits.keepBytes = 0;
    options.streamLimits.mostBytes = 64 << 10;
    RenderSession session(options);
    session.Command("canvas 160 120 0 persp 30 1 100 10 0 0");
    session.Command("clear 0 0 0");
    session.Command("sphere 8 8 smooth");
    session.Command("finish");
    std::vector<GLubyte> names(256 << 10, 0);
    glCallLists(GLsizei(names.size()), GL_UNSIGNED_BYTE, names.data()); // 256 KB: more than the record can take
    std::string first = session.Command("clear 1 0 0");
    session.Command("finish");
    std::string later = session.Command("clear 0 1 0");
    session.Command("finish");
    auto run = session.Finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(first.rfind("test.tsl:5: Error! Out of memory recording glCallLists for the right eye", 0), 0u) << first;
    EXPECT_EQ(later, "") << "the failure is told once";
    ASSERT_EQ(run.frames.size(), 3u);
    EXPECT_EQ(run.rightFrames.size(), 1u);
    EXPECT_EQ(render::CountNear(run.frames[2], Rgb(0, 255, 0), 0), 160 * 120);
    EXPECT_EQ(run.frames[0].pixels, run.right.pixels);
}

} // namespace
