// triad, quad, polygon and disk: their corners, the fixed normal that turns
// with the facing, and the quadric parameters of disk.
#include "tests/doubles/gl_stream.h"
#include "tests/doubles/plugin_fixture.h"

namespace {

using FlatPrimitives = PluginTest;
using Calls = std::vector<GlCall>;

// glNormal3f(0, 0, nz), then one primitive with the given corners in z = 0.
Calls Figure(double mode, double nz, std::initializer_list<std::array<double, 2>> corners)
{
    Calls calls{Call("glNormal3f", {0, 0, nz}), Call("glBegin", {mode})};
    for (const auto &c : corners)
        calls.push_back(Call("glVertex3fv", {c[0], c[1], 0}));
    calls.push_back(Call("glEnd"));
    return calls;
}

struct Case {
    const char *line;
    Calls expected;
};

TEST_F(FlatPrimitives, TokensReplaceTheLastDefaultCorners)
{
    LoadWithCanvas();
    const Case cases[] = {
        {"triad", Figure(GL_TRIANGLES, 1, {{0, 0}, {1, 0}, {0, 1}})},
        {"triad 2 3", Figure(GL_TRIANGLES, 1, {{0, 0}, {1, 0}, {2, 3}})},
        {"triad 4 5 -6 7.5", Figure(GL_TRIANGLES, 1, {{0, 0}, {4, 5}, {-6, 7.5}})},
        {"quad", Figure(GL_QUADS, 1, {{0, 0}, {1, 0}, {1, 1}, {0, 1}})},
        {"quad 2 3", Figure(GL_QUADS, 1, {{0, 0}, {2, 0}, {2, 3}, {0, 3}})},
        {"quad 1 1 0 1", Figure(GL_QUADS, 1, {{0, 0}, {1, 0}, {1, 1}, {0, 1}})},
        {"quad 3 4 -1 2", Figure(GL_QUADS, 1, {{0, 0}, {1, 0}, {3, 4}, {-1, 2}})},
        {"quad 2 0 3 5 0 4", Figure(GL_QUADS, 1, {{0, 0}, {2, 0}, {3, 5}, {0, 4}})},
        {"polygon", Figure(GL_POLYGON, 1, {{0, 0}})},
        {"polygon 1 0 1 1 5", Figure(GL_POLYGON, 1, {{0, 0}, {1, 0}, {1, 1}})},
        {"polygon 2 0 2 2 -1 3 x y", Figure(GL_POLYGON, 1, {{0, 0}, {2, 0}, {2, 2}, {-1, 3}, {0, 0}})},
    };
    for (const Case &c : cases) {
        recording_gl::Reset();
        EXPECT_EQ(Run(c.line), "") << c.line;
        EXPECT_EQ(recording_gl::Calls(), c.expected) << c.line;
    }
}

TEST_F(FlatPrimitives, InsideTurnsTheNormalButNotTheCorners)
{
    LoadWithCanvas();
    Run("in");
    const Case cases[] = {
        {"triad 2 3", Figure(GL_TRIANGLES, -1, {{0, 0}, {1, 0}, {2, 3}})},
        {"quad 2 3", Figure(GL_QUADS, -1, {{0, 0}, {2, 0}, {2, 3}, {0, 3}})},
        {"polygon 1 0 1 1", Figure(GL_POLYGON, -1, {{0, 0}, {1, 0}, {1, 1}})},
    };
    for (const Case &c : cases) {
        recording_gl::Reset();
        EXPECT_EQ(Run(c.line), "") << c.line;
        EXPECT_EQ(recording_gl::Calls(), c.expected) << c.line;
    }
}

TEST_F(FlatPrimitives, EachCommandStartsFromItsOwnDefaults)
{
    LoadWithCanvas();
    Run("quad 5 6 7 8 9 10");
    Run("triad 5 6");
    recording_gl::Reset();
    Run("quad");
    Run("triad");
    EXPECT_EQ(recording_gl::CallsNamed({"glVertex3fv"}),
              (Calls{Call("glVertex3fv", {0, 0, 0}), Call("glVertex3fv", {1, 0, 0}), Call("glVertex3fv", {1, 1, 0}),
                     Call("glVertex3fv", {0, 1, 0}), Call("glVertex3fv", {0, 0, 0}), Call("glVertex3fv", {1, 0, 0}),
                     Call("glVertex3fv", {0, 1, 0})}));
}

TEST_F(FlatPrimitives, DiskHandsItsTokensToGluInItsOwnOrder)
{
    LoadWithCanvas();
    double q = recording_gl::QuadricId(Quadric);
    EXPECT_EQ(Run("disk 0.5 2 90 16"), "");
    EXPECT_EQ(Run("disk 0 1 360 32"), "");
    EXPECT_EQ(Run("disk 0.3 1 -45.5 x"), "");
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("gluPartialDisk", {q, 0.5, 1.0, 16, 2, 0.0, 90.0}),
                                            Call("gluPartialDisk", {q, 0, 1.0, 32, 1, 0.0, 360.0}),
                                            Call("gluPartialDisk", {q, 0.3, 1.0, 0, 1, 0.0, -45.5})}))
        << "the radius and sweep stay double precision";
}

TEST_F(FlatPrimitives, DiskFollowsTheLastStyleAndSphere)
{
    LoadWithCanvas();
    double q = recording_gl::QuadricId(Quadric);
    Run("solid");
    Run("sphere 4 8 smooth");
    recording_gl::Reset();
    Run("disk 0 1 360 8");
    EXPECT_EQ(recording_gl::Calls(), (Calls{Call("gluPartialDisk", {q, 0, 1, 8, 1, 0, 360})}))
        << "disk sets no quadric state of its own";
}

TEST_F(FlatPrimitives, DiskAndSphereWithoutAQuadricDrawNothing)
{
    Load(); // the welcome canvas is flat: no quadric exists
    ASSERT_EQ(Quadric, nullptr);
    EXPECT_EQ(Run("disk 0 1 360 8"), "");
    EXPECT_EQ(Run("sphere 8 16 flat"), "");
    EXPECT_TRUE(recording_gl::Calls().empty());
}

}
