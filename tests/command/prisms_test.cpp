// pipe, horn and cube: the walls, side triangles and faces in their order,
// with normals computed from the corners and turned by the facing.
#include "tests/doubles/gl_stream.h"
#include "tests/doubles/plugin_fixture.h"

#include <cmath>

namespace {

using Prisms = PluginTest;

std::vector<Vec3> FacetNormals(const std::vector<Primitive> &drawn)
{
    std::vector<Vec3> normals;
    for (const Primitive &p : drawn) {
        EXPECT_EQ(p.normalsBefore, 1);
        EXPECT_EQ(p.normalsInside, 0);
        normals.push_back(p.vertices.at(0).normal);
    }
    return normals;
}

std::vector<Vec3> Corners(const Primitive &p)
{
    std::vector<Vec3> corners;
    for (const DrawnVertex &v : p.vertices)
        corners.push_back(v.position);
    return corners;
}

TEST_F(Prisms, PipeOfTheUnitSquareDrawsFourOutwardWalls)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("pipe 0 0 1"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_EQ(FacetNormals(drawn), (std::vector<Vec3>{{0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}}));
    EXPECT_EQ(Corners(drawn[0]), (std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}));
    EXPECT_EQ(Corners(drawn[1]), (std::vector<Vec3>{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}));
    EXPECT_EQ(Corners(drawn[2]), (std::vector<Vec3>{{1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}}));
    EXPECT_EQ(Corners(drawn[3]), (std::vector<Vec3>{{0, 1, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 1}}));
    for (const Primitive &p : drawn)
        EXPECT_EQ(p.mode, GL_QUADS);
}

TEST_F(Prisms, PipeDownwardsOrInsideFacesIn)
{
    LoadWithCanvas();
    const std::vector<Vec3> inward{{0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {1, 0, 0}};
    Run("pipe 0 0 -1");
    EXPECT_EQ(FacetNormals(Primitives()), inward);
    recording_gl::Reset();
    Run("in");
    Run("pipe 0 0 1");
    EXPECT_EQ(FacetNormals(Primitives()), inward);
    EXPECT_EQ(Corners(Primitives()[0]), (std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}));
}

TEST_F(Prisms, PipeAlongAPathDrawsOneWallPerEdge)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("pipe 0 0 1 1 0 1 1"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(Corners(drawn[0]), (std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}));
    EXPECT_EQ(Corners(drawn[1]), (std::vector<Vec3>{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}));

    recording_gl::Reset();
    EXPECT_EQ(Run("pipe 0 0 1 2"), "") << "an unpaired x draws nothing";
    EXPECT_TRUE(recording_gl::Calls().empty());

    recording_gl::Reset();
    EXPECT_EQ(Run("pipe 0.5 0 2 3 0 3 4 9"), "");
    drawn = Primitives();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(Corners(drawn[1]), (std::vector<Vec3>{{3, 0, 0}, {3, 4, 0}, {3.5, 4, 2}, {3.5, 0, 2}}));
}

TEST_F(Prisms, HornOfTheUnitSquareIsAPyramidWithoutBase)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("horn 0.5 0.5 1"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 4u);
    const Vec3 apex{0.5, 0.5, 1};
    const std::vector<Vec3> base{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}};
    const std::vector<Vec3> outwards{{0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    std::vector<Vec3> normals = FacetNormals(drawn);
    for (size_t i = 0; i < 4; i++) {
        EXPECT_EQ(drawn[i].mode, GL_TRIANGLES);
        EXPECT_EQ(Corners(drawn[i]), (std::vector<Vec3>{base[i], base[i + 1], apex}));
        EXPECT_GT(Dot(normals[i], outwards[i]), 0.8) << i;
        EXPECT_NEAR(normals[i][2], 1 / std::sqrt(5.0), 1e-6) << "leans up";
        EXPECT_NEAR(Length(normals[i]), 1, 1e-6);
    }
}

TEST_F(Prisms, HornAlongAPath)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("horn 0 0 1 1 0 0 1"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(Corners(drawn[0]), (std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}));
    EXPECT_EQ(Corners(drawn[1]), (std::vector<Vec3>{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
    recording_gl::Reset();
    EXPECT_EQ(Run("horn 0 0 1 7"), "");
    EXPECT_TRUE(recording_gl::Calls().empty());
}

TEST_F(Prisms, CubeSendsSixOutwardFacesInItsOrder)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cube"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 6u);
    const std::vector<Vec3> outwards{{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    EXPECT_EQ(FacetNormals(drawn), outwards);
    EXPECT_EQ(Corners(drawn[0]), (std::vector<Vec3>{{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(Corners(drawn[1]), (std::vector<Vec3>{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}));
    EXPECT_EQ(Corners(drawn[2]), (std::vector<Vec3>{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}));
    EXPECT_EQ(Corners(drawn[3]), (std::vector<Vec3>{{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}));
    EXPECT_EQ(Corners(drawn[4]), (std::vector<Vec3>{{1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}}));
    EXPECT_EQ(Corners(drawn[5]), (std::vector<Vec3>{{0, 1, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 1}}));

    recording_gl::Reset();
    Run("in");
    Run("cube");
    std::vector<Primitive> inside = Primitives();
    ASSERT_EQ(inside.size(), 6u);
    for (size_t i = 0; i < 6; i++) {
        EXPECT_EQ(Corners(inside[i]), Corners(drawn[i]));
        const Vec3 &n = outwards[i];
        EXPECT_EQ(inside[i].vertices[0].normal, (Vec3{-n[0], -n[1], -n[2]}));
    }
}

}
