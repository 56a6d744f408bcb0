// The facet kernel: exact unit normals in single precision, the fallback
// corner triple of quadrilaterals, path steps that advance only x and y, and
// normals that turn round while surfaces face inwards.
#include "tests/doubles/gl_stream.h"
#include "tests/doubles/plugin_fixture.h"
#include "geometry/facet_kernel.h"

#include <cmath>

namespace {

using FacetKernel = PluginTest;

std::vector<GlCall> Quad(std::initializer_list<Vec3> corners)
{
    std::vector<GlCall> calls{Call("glBegin", {GL_QUADS})};
    for (const Vec3 &c : corners)
        calls.push_back(Call("glVertex3fv", {c[0], c[1], c[2]}));
    calls.push_back(Call("glEnd"));
    return calls;
}

std::vector<GlCall> Then(GlCall first, std::vector<GlCall> rest)
{
    rest.insert(rest.begin(), first);
    return rest;
}

TEST_F(FacetKernel, NormalizeLeavesTheZeroVectorAlone)
{
    for (int inside : {0, 1}) {
        OrientationOutside = !inside;
        float v[3] = {0, 0, 0};
        EXPECT_EQ(NormalizeVector(v, 1), 0.0f);
        EXPECT_EQ(v[0], 0.0f);
        EXPECT_EQ(v[1], 0.0f);
        EXPECT_EQ(v[2], 0.0f);
        EXPECT_FALSE(std::signbit(v[0]) || std::signbit(v[1]) || std::signbit(v[2])) << "no division took place";
    }
}

TEST_F(FacetKernel, NormalizeTurnsOnlyOrientedVectorsInside)
{
    struct Case {
        int outside, oriented;
        float x, z;
    } cases[] = {{1, 1, 0.6f, 0.8f}, {0, 1, -0.6f, -0.8f}, {1, 0, 0.6f, 0.8f}, {0, 0, 0.6f, 0.8f}};
    for (const Case &c : cases) {
        OrientationOutside = c.outside;
        float v[3] = {3, 0, 4};
        EXPECT_EQ(NormalizeVector(v, c.oriented), 5.0f) << "the positive length, even when negated";
        EXPECT_EQ(v[0], c.x);
        EXPECT_EQ(v[1], 0.0f);
        EXPECT_EQ(v[2], c.z);
    }
}

TEST_F(FacetKernel, NormalizeSumsSquaresInSinglePrecision)
{
    // Neither 4097^2 nor the sums are floats: summed in double the length
    // would end one unit in the last place higher.
    float v[3] = {4097, 60, 3};
    EXPECT_EQ(NormalizeVector(v, 0), 0x1.00170ap+12f);
    EXPECT_EQ(v[0], 0x1.fff1eep-1f);
    EXPECT_EQ(v[1], 0x1.dfd4d2p-7f);
    EXPECT_EQ(v[2], 0x1.7fdd74p-11f);
}

TEST_F(FacetKernel, CrossProductIsRightHanded)
{
    float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, out[3];
    CrossProduct(out, x, y);
    EXPECT_EQ(std::vector<float>(out, out + 3), (std::vector<float>{0, 0, 1}));
    float p[3] = {1, 2, 3}, q[3] = {4, 5, 6};
    CrossProduct(out, p, q);
    EXPECT_EQ(std::vector<float>(out, out + 3), (std::vector<float>{-3, 6, -3}));
}

TEST_F(FacetKernel, FacetNormalFollowsTheRightHandRuleAndTheFacing)
{
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {1, 1, 0};
    EXPECT_EQ(EmitFacetNormal(a, b, c), 1.0f);
    OrientationOutside = 0;
    EXPECT_EQ(EmitFacetNormal(a, b, c), 1.0f);
    float b2[3] = {2, 0, 0}, c2[3] = {2, 2, 0};
    EXPECT_EQ(EmitFacetNormal(a, b2, c2), 4.0f) << "the raw normal's length";
    EXPECT_EQ(recording_gl::Calls(), (std::vector<GlCall>{Call("glNormal3fv", {0, 0, 1}), Call("glNormal3fv", {0, 0, -1}),
                                                           Call("glNormal3fv", {0, 0, -1})}));
}

TEST_F(FacetKernel, DegenerateTriplesSendNoNormal)
{
    float a[3] = {0, 0, 0}, b[3] = {1, 1, 1}, c[3] = {2, 2, 2};
    EXPECT_EQ(EmitFacetNormal(a, b, c), 0.0f);
    EXPECT_EQ(EmitFacetNormal(a, a, b), 0.0f);
    EXPECT_TRUE(recording_gl::Calls().empty());
}

TEST_F(FacetKernel, QuadUsesTheFallbackTripleWhenTheFirstGivesNoNormal)
{
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, d[3] = {0, 1, 0};
    EmitQuad(a, b, b, d);
    EXPECT_EQ(recording_gl::Calls(), Then(Call("glNormal3fv", {0, 0, 1}), Quad({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}})));
}

TEST_F(FacetKernel, QuadWithAGoodFirstTripleSendsOneNormal)
{
    // The fallback triple a, b, d would give (0, 0, -1) here.
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {1, 1, 0}, d[3] = {0, -1, 0};
    EmitQuad(a, b, c, d);
    EXPECT_EQ(recording_gl::Calls(), Then(Call("glNormal3fv", {0, 0, 1}), Quad({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, -1, 0}})));
}

TEST_F(FacetKernel, CollinearQuadStillSendsItsCorners)
{
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {2, 0, 0}, d[3] = {3, 0, 0};
    EmitQuad(a, b, c, d);
    EXPECT_EQ(recording_gl::Calls(), Quad({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}));
}

TEST_F(FacetKernel, TriangleHasNoFallback)
{
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0};
    EmitTriangle(a, b, b);
    EmitTriangle(a, b, c);
    EXPECT_EQ(recording_gl::Calls(),
              (std::vector<GlCall>{Call("glBegin", {GL_TRIANGLES}), Call("glVertex3fv", {0, 0, 0}), Call("glVertex3fv", {1, 0, 0}),
                                   Call("glVertex3fv", {1, 0, 0}), Call("glEnd"), Call("glNormal3fv", {0, 0, 1}),
                                   Call("glBegin", {GL_TRIANGLES}), Call("glVertex3fv", {0, 0, 0}), Call("glVertex3fv", {1, 0, 0}),
                                   Call("glVertex3fv", {0, 1, 0}), Call("glEnd")}));
}

TEST_F(FacetKernel, ExtrudeStepSendsOneWallAndAdvancesAlongThePath)
{
    ExtrusionRecord r = {{0, 0, 0}, {1, 0, 0}, {9, 9, 9}, {9, 9, 9}};
    float up[3] = {0, 0, 1};
    ExtrudeQuadStep(&r, up);
    EXPECT_EQ(recording_gl::Calls(), Then(Call("glNormal3fv", {0, -1, 0}), Quad({{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}})));
    EXPECT_EQ(std::vector<float>(r.a, r.a + 3), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(std::vector<float>(r.c, r.c + 3), (std::vector<float>{1, 0, 1}));
    EXPECT_EQ(std::vector<float>(r.d, r.d + 3), (std::vector<float>{0, 0, 1}));

    OrientationOutside = 0;
    recording_gl::Reset();
    r.b[0] = 1;
    r.b[1] = 1;
    ExtrudeQuadStep(&r, up);
    EXPECT_EQ(recording_gl::Calls(), Then(Call("glNormal3fv", {-1, 0, 0}), Quad({{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}})))
        << "inside: the normal turns, the corners keep their order";
}

TEST_F(FacetKernel, StepsAdvanceOnlyXAndY)
{
    ExtrusionRecord wall = {{0, 0, 2}, {1, 0, 5}, {}, {}};
    float offset[3] = {0, 0, 1};
    ExtrudeQuadStep(&wall, offset);
    EXPECT_EQ(std::vector<float>(wall.a, wall.a + 3), (std::vector<float>{1, 0, 2}));

    EdgeRecord edge = {{0, 0, 2}, {1, 1, 5}};
    float apex[3] = {0, 0, 9};
    ApexTriangleStep(&edge, apex);
    EXPECT_EQ(std::vector<float>(edge.a, edge.a + 3), (std::vector<float>{1, 1, 2}));
}

TEST_F(FacetKernel, ZeroOffsetSendsCornersWithoutANormal)
{
    ExtrusionRecord r = {{0, 0, 0}, {1, 0, 0}, {}, {}};
    float zero[3] = {0, 0, 0};
    ExtrudeQuadStep(&r, zero);
    EXPECT_EQ(recording_gl::Calls(), Quad({{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(std::vector<float>(r.c, r.c + 3), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(std::vector<float>(r.d, r.d + 3), (std::vector<float>{0, 0, 0}));
}

TEST_F(FacetKernel, ApexStepSendsATriangleLeaningOutwards)
{
    EdgeRecord r = {{0, 0, 0}, {1, 0, 0}};
    float apex[3] = {0.5f, 0.5f, 1};
    ApexTriangleStep(&r, apex);
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].mode, GL_TRIANGLES);
    EXPECT_EQ(drawn[0].normalsBefore, 1);
    ASSERT_EQ(drawn[0].vertices.size(), 3u);
    const Vec3 &n = drawn[0].vertices[0].normal;
    EXPECT_LT(n[1], 0);
    EXPECT_GT(n[2], 0);
    EXPECT_EQ(n[0], 0);
    EXPECT_NEAR(Length(n), 1, 1e-6);
    EXPECT_EQ(drawn[0].vertices[2].position, (Vec3{0.5, 0.5, 1}));
    EXPECT_EQ(std::vector<float>(r.a, r.a + 3), (std::vector<float>{1, 0, 0}));
}

}
