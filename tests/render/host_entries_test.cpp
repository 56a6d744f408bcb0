// The host table's entries as the plug-in meets them, in the real host.
#include "tests/render/render_harness.h"

#include <GL/gl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

using render::RenderSession;
using render::Rgb;

template <typename Entry> Entry EntryOf(RenderSession &session, int index)
{
    return reinterpret_cast<Entry>(session.Session().Host().Table()[index]);
}

TEST(HostEntries, CreateCanvasRefusesSidesBelowOneOrAbove8192)
{
    RenderSession session;
    auto create = EntryOf<CreateCanvasEntry>(session, HOST_CREATE_CANVAS);
    auto destroy = EntryOf<DestroyCanvasEntry>(session, HOST_DESTROY_CANVAS);
    for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-5, 10}, {10, -1}, {8193, 1}, {1, 8193}})
        EXPECT_EQ(create(w, h), nullptr) << w << " x " << h;
    for (auto [w, h] : {std::pair{1, 1}, {8192, 1}, {1, 8192}}) {
        CanvasRecord *canvas = create(w, h);
        ASSERT_NE(canvas, nullptr) << w << " x " << h;
        EXPECT_EQ(canvas[CANVAS_FIELD_WIDTH], w);
        EXPECT_EQ(canvas[CANVAS_FIELD_HEIGHT], h);
        auto surface = reinterpret_cast<const TesselinSurface *>(canvas[CANVAS_FIELD_DC]);
        EXPECT_EQ(surface->magic, TESSELIN_SURFACE_MAGIC);
        EXPECT_EQ(surface->width, w);
        EXPECT_EQ(surface->stride, w);
        EXPECT_EQ(surface->pixels[0], 0x00FFFFFFu);
        EXPECT_EQ(surface->pixels[std::size_t(w) * h - 1], 0x00FFFFFFu);
        destroy(canvas);
    }
}

TEST(HostEntries, CanvasQuestionsFollowTheHostsOwnRecords)
{
    RenderSession session;
    auto has = EntryOf<HasCanvasEntry>(session, HOST_HAS_CANVAS);
    auto hasRight = EntryOf<HasRightCanvasEntry>(session, HOST_HAS_RIGHT_CANVAS);
    auto modelling = EntryOf<IsModelingEntry>(session, HOST_IS_MODELING);
    EXPECT_EQ(has(), 1); // the welcome canvas
    EXPECT_EQ(hasRight(), 0);
    EXPECT_EQ(modelling(), 0);
    session.Command("canvas 50 40 0 persp 30 1 100 10 1 0");
    EXPECT_EQ(hasRight(), 1);
    EXPECT_EQ(modelling(), 1);
    session.Command("canvas 50 40");
    EXPECT_EQ(has(), 1);
    EXPECT_EQ(hasRight(), 0);
    EXPECT_EQ(modelling(), 0); // a flat canvas is not for modelling
    // A canvas the host cannot make leaves none behind.
    // The plug-in's answer, and the host's help on the line after it.
    EXPECT_EQ(session.Command("canvas 9000 10"),
              "test.tsl:3: Error! Too large canvas\ntest.tsl:3:1: Hint: canvases are 1 to 8192 pixels wide and high");
    EXPECT_EQ(has(), 0);
}

TEST(HostEntries, ViewRectIsTheCanvasAndTheMarginIsStored)
{
    RenderSession session;
    session.Command("canvas 120 90");
    ViewRecord view{7, {1, 2, 3, 4}};
    EntryOf<GetViewRectEntry>(session, HOST_GET_VIEW_RECT)(&view, 0);
    EXPECT_EQ(view.amount, 0);
    EXPECT_EQ(view.rect.left, 0);
    EXPECT_EQ(view.rect.top, 0);
    EXPECT_EQ(view.rect.right, 120);
    EXPECT_EQ(view.rect.bottom, 90);
    EntryOf<SetViewMarginEntry>(session, HOST_SET_VIEW_MARGIN)(&view, -13, 0, 0);
    EXPECT_EQ(view.amount, -13);
    EXPECT_EQ(view.rect.right, 120); // the plug-in widens the rectangle itself
}

TEST(HostEntries, CanvasWindowIsTheCurrentCanvasSurface)
{
    RenderSession session;
    auto window = reinterpret_cast<TesselinSurface *>(EntryOf<GetCanvasWindowEntry>(session, HOST_GET_CANVAS_WINDOW)());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->width, 400); // the welcome canvas
    session.Command("canvas 30 20 0");
    window = reinterpret_cast<TesselinSurface *>(EntryOf<GetCanvasWindowEntry>(session, HOST_GET_CANVAS_WINDOW)());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->height, 20);
    EXPECT_EQ(window, &session.Session().Host().WindowCanvas()->surface);
    EXPECT_NE(window, &session.Session().Host().RightCanvas()->surface);
}

TEST(HostEntries, AnUnexpectedSlotStopsTheRunAndNamesIt)
{
    RenderSession session;
    reinterpret_cast<int (*)()>(session.Session().Host().Table()[5])();
    EXPECT_TRUE(session.Session().Stopped());
    auto run = session.Finish();
    EXPECT_TRUE(run.Said("Error! The plug-in called host table entry 5, which this host does not provide"))
        << run.AllMessages();
    EXPECT_EQ(run.status, 1);
}

TEST(HostEntries, EveryOtherSlotIsCaughtToo)
{
    const std::set<int> used = {1, 2, 3, 4, 7, 8, 9, 12, 13, 14, 28, 30, 33, 37, 38, 39, 40, 41};
    RenderSession session;
    int caught = 0;
    for (int slot = 0; slot < HOST_TABLE_SIZE; slot++) {
        if (used.count(slot))
            continue;
        reinterpret_cast<int (*)()>(session.Session().Host().Table()[slot])();
        caught++;
    }
    auto run = session.Finish();
    EXPECT_EQ(caught, 24);
    for (int slot = 0; slot < HOST_TABLE_SIZE; slot++) {
        if (!used.count(slot)) {
            EXPECT_TRUE(run.Said("host table entry " + std::to_string(slot) + ",")) << slot;
        }
    }
}

TEST(HostEntries, StopEndsAScriptAndShowsItsText)
{
    RenderSession session;
    EntryOf<StopRunEntry>(session, HOST_STOP_RUN)("that is all", 0, 0);
    EXPECT_TRUE(session.Session().Stopped());
    auto run = session.Finish();
    EXPECT_TRUE(run.Said("Stopped: that is all")) << run.AllMessages();
    EXPECT_EQ(run.status, 0); // a stop is not an error
}

TEST(HostEntries, CopyWithoutClipboardWritesANumberedPngAndSaysWhere)
{
    RenderSession session;
    session.Command("canvas 40 30");
    auto copy = EntryOf<CopyCanvasEntry>(session, HOST_COPY_CANVAS);
    std::string directory = render::ScratchDirectory();
    std::filesystem::remove(directory + "/copy-copy-1.png");
    std::filesystem::remove(directory + "/copy-copy-2.png");
    copy();
    copy();
    auto run = session.Finish();
    EXPECT_TRUE(run.Said("Copied the canvas window to " + directory + "/copy-copy-1.png")) << run.AllMessages();
    EXPECT_TRUE(run.Said("Copied the canvas window to " + directory + "/copy-copy-2.png"));
    auto copied = render::LoadPng(directory + "/copy-copy-2.png");
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->width, 40);
    EXPECT_EQ(copied->pixels, run.window.pixels);
}

TEST(HostEntries, OpenGLWithoutA3DCanvasIsIgnoredAndReported)
{
    RenderSession session;
    session.Command("canvas 40 30"); // flat: no context current
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), GL_FALSE);
    std::string said = session.Command("canvas 40 30");
    EXPECT_NE(said.find("Warning: the plug-in called glClearColor without a 3D canvas"), std::string::npos) << said;
    auto run = session.Finish();
    EXPECT_EQ(render::CountNear(run.window, Rgb(255, 255, 255), 0), 40 * 30);
}

TEST(HostEntries, EndingASessionUnloadsTheModule)
{
    {
        RenderSession session;
        session.Command("canvas 40 30 persp 30 1 100 10");
        session.Finish();
    }
    // The next session starts from a freshly loaded module.
    EXPECT_EQ(dlopen(render::ModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

} // namespace
