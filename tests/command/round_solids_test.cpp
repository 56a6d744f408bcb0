// sphere, cylinder and torus: the quadric calls of sphere; for a table of
// swept solids, that every band lies on its solid at its angle, faces out and
// meets its neighbours, that only a full turn closes, every shading
// combination, the facing, negative sweeps and zero counts.
#include "tests/doubles/gl_stream.h"
#include "tests/doubles/plugin_fixture.h"
#include "geometry/facet_kernel.h"
#include "geometry/geometry.h"

#include <algorithm>

#include <cfenv>
#include <cmath>

namespace {

using RoundSolids = PluginTest;
using Calls = std::vector<GlCall>;

// The angle of a point about the z axis in degrees, from +y towards +x, as
// the sweeps turn: in (-180, 180].
double Azimuth(const Vec3 &p)
{
    return std::atan2(p[0], p[1]) * 180 / M_PI;
}

// While it lives, a division by zero or an invalid operation (which would make
// a NaN) stops the test with SIGFPE instead of passing silently.
class FloatingPointTraps {
public:
    FloatingPointTraps() { feenableexcept(FE_DIVBYZERO | FE_INVALID); }
    ~FloatingPointTraps() { fedisableexcept(FE_DIVBYZERO | FE_INVALID); }
    FloatingPointTraps(const FloatingPointTraps &) = delete;
    FloatingPointTraps &operator=(const FloatingPointTraps &) = delete;
};

Vec3 Unit(const Vec3 &v)
{
    double l = Length(v);
    return {v[0] / l, v[1] / l, v[2] / l};
}

Vec3 Minus(const Vec3 &a, const Vec3 &b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vec3 Cross(const Vec3 &a, const Vec3 &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The direction a quad faces by its winding: counter-clockwise seen from
// that side, as OpenGL takes the front face.
Vec3 WindingNormal(const Primitive &quad)
{
    const auto &v = quad.vertices;
    return Cross(Minus(v[2].position, v[0].position), Minus(v[3].position, v[1].position));
}

void ExpectNear(const Vec3 &actual, const Vec3 &expected, double tolerance, const std::string &what)
{
    for (int i = 0; i < 3; i++)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " component " << i;
}

// Where a torus vertex normal must point: from the nearest point of the circle
// of radius r in the plane z = 0 to the vertex.
Vec3 TubeDirection(const Vec3 &p, double r)
{
    double d = std::hypot(p[0], p[1]);
    Vec3 centre = d > 0 ? Vec3{p[0] / d * r, p[1] / d * r, 0} : Vec3{0, 0, 0};
    return Unit(Minus(p, centre));
}

TEST_F(RoundSolids, SphereSetsItsNormalsAndShadeModel)
{
    LoadWithCanvas();
    double q = recording_gl::QuadricId(Quadric);
    EXPECT_EQ(Run("sphere 8 16 flat"), "");
    EXPECT_EQ(Run("sphere 8 16 Flat"), "");
    EXPECT_EQ(recording_gl::Calls(),
              (Calls{Call("gluQuadricNormals", {q, GLU_FLAT}), Call("glShadeModel", {GL_FLAT}), Call("gluSphere", {q, 1, 16, 8}),
                     Call("gluQuadricNormals", {q, GLU_SMOOTH}), Call("glShadeModel", {GL_SMOOTH}),
                     Call("gluSphere", {q, 1, 16, 8})}));
}

// A swept solid and what its bands must be: rows of bands, each row one
// profile edge swept about the z axis.
struct Sweep {
    const char *line;
    int rows, segments;
    double sweep; // degrees about the z axis
    // A cylinder's top radius (its bottom radius is 1), or for a torus the
    // radius of its tube's centre circle and the tube angles swept.
    bool torus;
    double radius, tubeStart = 0, tubeEnd = 0;
};

const Sweep Sweeps[] = {
    {"cylinder 1 1 360 4 flat", 1, 4, 360, false, 1},
    {"cylinder 0.3 7 300 37 x", 7, 37, 300, false, 0.3},
    {"cylinder 1 2 360 16 x", 2, 16, 360, false, 1},
    {"cylinder 2 3 90 5 flat", 3, 5, 90, false, 2},
    {"cylinder 0 1 360 8 x", 1, 8, 360, false, 0},
    {"cylinder 1 1 180 8 x", 1, 8, 180, false, 1},
    {"cylinder 1 1 359.9 8 x", 1, 8, 359.9, false, 1},
    {"torus 2 0 360 12 x 360 24 x", 12, 24, 360, true, 2, 0, 360},
    {"torus 2 0 360 12 flat 360 24 flat", 12, 24, 360, true, 2, 0, 360},
    {"torus 3 30 150 5 x 200 9 flat", 5, 9, 200, true, 3, 30, 150},
    {"torus 0 0 180 8 x 360 16 x", 8, 16, 360, true, 0, 0, 180},
    {"torus 2 0 360 2 x 359.9 8 x", 2, 8, 359.9, true, 2, 0, 360},
};

// Where the point p of a band of solid must lie, how far off it is: on the
// frustum from radius `radius` at z = 1 to 1 at z = 0, or on the tube of
// radius 1 about the circle of radius `radius`.
double OffTheSurface(const Sweep &solid, const Vec3 &p)
{
    double d = std::hypot(p[0], p[1]);
    if (solid.torus)
        return std::abs(std::hypot(d - solid.radius, p[2]) - 1);
    return std::abs(d - (solid.radius * p[2] + (1 - p[2])));
}

// The outward direction of the solid at p, the way its normals must lean.
Vec3 Outward(const Sweep &solid, const Vec3 &p)
{
    if (solid.torus)
        return TubeDirection(p, solid.radius);
    double d = std::hypot(p[0], p[1]);
    if (d < 1e-9)
        return {0, 0, 1}; // a cone's apex
    // The frustum's side leans in by (1 - radius) over its height of 1.
    return Unit({p[0] / d, p[1] / d, 1 - solid.radius});
}

TEST_F(RoundSolids, SweptBandsLieOnTheirSolidAndFaceOut)
{
    LoadWithCanvas();
    for (const Sweep &solid : Sweeps) {
        recording_gl::Reset();
        ASSERT_EQ(Run(solid.line), "") << solid.line;
        std::vector<Primitive> drawn = Primitives();
        ASSERT_EQ(drawn.size(), size_t(solid.rows * solid.segments)) << solid.line;
        double slice = solid.sweep / solid.segments;
        for (size_t i = 0; i < drawn.size(); i++) {
            const Primitive &band = drawn[i];
            std::string where = std::string(solid.line) + ", band " + std::to_string(i);
            ASSERT_EQ(band.mode, GL_QUADS) << where;
            ASSERT_EQ(band.vertices.size(), 4u) << where;
            // Corners 0 and 1 on the band's first angle, 2 and 3 on its last.
            int k = int(i) % solid.segments;
            for (int c = 0; c < 4; c++) {
                const DrawnVertex &v = band.vertices[c];
                EXPECT_LT(OffTheSurface(solid, v.position), 1e-5) << where << " corner " << c;
                EXPECT_NEAR(Length(v.normal), 1, 1e-5) << where << " corner " << c;
                EXPECT_GT(Dot(v.normal, Outward(solid, v.position)), 0.3) << where << " corner " << c;
                double d = std::hypot(v.position[0], v.position[1]);
                if (d < 1e-6)
                    continue; // on the axis every angle is the same point
                double expected = (c < 2 ? k : k + 1) * slice, angle = Azimuth(v.position);
                // The angle constant 3.14159 puts a full turn 3e-4 degrees short.
                EXPECT_NEAR(std::remainder(angle - expected, 360.0), 0, 1e-3) << where << " corner " << c;
            }
            Vec3 facing = WindingNormal(band);
            if (Length(facing) > 1e-9) {
                EXPECT_GT(Dot(facing, Outward(solid, band.vertices[0].position)), 0) << where << ": wound inwards";
            }
        }
    }
}

TEST_F(RoundSolids, SweptRowsRunDownTheProfileAndCloseOnlyAFullTurn)
{
    LoadWithCanvas();
    for (const Sweep &solid : Sweeps) {
        recording_gl::Reset();
        ASSERT_EQ(Run(solid.line), "") << solid.line;
        std::vector<Primitive> drawn = Primitives();
        ASSERT_EQ(drawn.size(), size_t(solid.rows * solid.segments)) << solid.line;
        for (int row = 0; row < solid.rows; row++) {
            const Primitive &first = drawn[solid.segments * row], &last = drawn[solid.segments * row + solid.segments - 1];
            std::string where = std::string(solid.line) + ", row " + std::to_string(row);
            // The row's two profile points: corner 1 where it starts, corner 0
            // where it ends, as the profile runs from the top down.
            double share = double(row) / solid.rows, next = double(row + 1) / solid.rows;
            if (solid.torus) {
                double span = solid.tubeEnd - solid.tubeStart;
                auto tubeAngle = [&solid](const Vec3 &p) {
                    return std::atan2(std::hypot(p[0], p[1]) - solid.radius, p[2]) * 180 / M_PI;
                };
                auto off = [&](const Vec3 &p, double part) {
                    return std::remainder(tubeAngle(p) - (solid.tubeStart + part * span), 360.0);
                };
                EXPECT_NEAR(off(first.vertices[1].position, share), 0, 1e-3) << where;
                EXPECT_NEAR(off(first.vertices[0].position, next), 0, 1e-3) << where;
            } else {
                EXPECT_NEAR(first.vertices[1].position[2], 1 - share, 1e-6) << where;
                EXPECT_NEAR(first.vertices[0].position[2], 1 - next, 1e-6) << where;
            }
            // Rows meet: this row's start is the previous row's end.
            if (row > 0) {
                EXPECT_EQ(first.vertices[1].position, drawn[solid.segments * (row - 1)].vertices[0].position) << where;
            }
            // The bands of a row meet edge to edge.
            for (int k = 1; k < solid.segments; k++) {
                const Primitive &band = drawn[solid.segments * row + k], &before = drawn[solid.segments * row + k - 1];
                EXPECT_EQ(band.vertices[0].position, before.vertices[3].position) << where << " band " << k;
                EXPECT_EQ(band.vertices[1].position, before.vertices[2].position) << where << " band " << k;
            }
            if (solid.sweep == 360) {
                EXPECT_EQ(last.vertices[2].position, first.vertices[1].position) << where << ": a full turn closes exactly";
                EXPECT_EQ(last.vertices[3].position, first.vertices[0].position) << where << ": a full turn closes exactly";
            } else {
                EXPECT_NE(last.vertices[3].position, first.vertices[0].position) << where << ": only 360 degrees close";
            }
        }
        // The first profile point starts on the +y axis exactly.
        const Vec3 start = drawn[0].vertices[1].position;
        EXPECT_EQ(start[0], 0) << solid.line;
        EXPECT_GE(start[1], 0) << solid.line;
    }
}

TEST_F(RoundSolids, FlatBandsCarryOneFacetNormalAndSmoothOnesShareEdgeNormals)
{
    LoadWithCanvas();
    for (const Sweep &solid : Sweeps) {
        if (solid.torus)
            continue; // the torus's shading table is below
        recording_gl::Reset();
        ASSERT_EQ(Run(solid.line), "") << solid.line;
        bool flat = std::string(solid.line).find("flat") != std::string::npos;
        std::vector<Primitive> drawn = Primitives();
        for (size_t i = 0; i < drawn.size(); i++) {
            const Primitive &band = drawn[i];
            const auto &v = band.vertices;
            std::string where = std::string(solid.line) + ", band " + std::to_string(i);
            if (flat) {
                // Each row's edge normal comes first, then one facet normal per band.
                EXPECT_EQ(band.normalsBefore, i % solid.segments == 0 ? 2 : 1) << where;
                EXPECT_EQ(band.normalsInside, 0) << where;
                EXPECT_NEAR(Dot(v[0].normal, Minus(v[1].position, v[0].position)), 0, 1e-6) << where;
                EXPECT_NEAR(Dot(v[0].normal, Minus(v[3].position, v[0].position)), 0, 1e-6) << where;
                continue;
            }
            // One normal per profile edge: shared by the corners on that edge,
            // and by the band before on the same edge.
            EXPECT_EQ(band.normalsInside, 1) << where;
            EXPECT_EQ(v[0].normal, v[1].normal) << where;
            EXPECT_EQ(v[2].normal, v[3].normal) << where;
            if (i % solid.segments > 0)
                EXPECT_EQ(v[0].normal, drawn[i - 1].vertices[3].normal) << where;
            else
                EXPECT_EQ(band.normalsBefore, 1) << where << ": the edge normal at the row's start";
            if (solid.radius == 1) {
                Vec3 radial = Unit({v[2].position[0], v[2].position[1], 0});
                ExpectNear(v[2].normal, radial, 1e-6, where + ": a straight side's normal is radial");
            }
        }
    }
}

TEST_F(RoundSolids, ConeApexGetsTheSlantNormalOrTheFallbackFacet)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cylinder 0 1 360 8 x"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 8u);
    float slant = 1.0f / (float)std::sqrt(2.0);
    EXPECT_EQ(drawn[0].vertices[0].normal, (Vec3{0, slant, slant}));
    for (const Primitive &band : drawn) {
        EXPECT_EQ(band.vertices[1].position, (Vec3{0, 0, 1}));
        EXPECT_EQ(band.vertices[2].position, (Vec3{0, 0, 1}));
        EXPECT_NEAR(band.vertices[2].normal[2], slant, 1e-7);
        EXPECT_NEAR(Length(band.vertices[2].normal), 1, 1e-6);
    }

    recording_gl::Reset();
    EXPECT_EQ(Run("cylinder 0 1 360 8 flat"), "");
    drawn = Primitives();
    ASSERT_EQ(drawn.size(), 8u);
    for (size_t k = 0; k < 8; k++) {
        const Primitive &band = drawn[k];
        EXPECT_EQ(band.normalsBefore, k == 0 ? 2 : 1) << "the fallback triple gives every band its facet normal";
        const Vec3 &n = band.vertices[0].normal;
        const Vec3 &a = band.vertices[0].position, &b = band.vertices[1].position, &d = band.vertices[3].position;
        EXPECT_NEAR(Dot(n, Minus(b, a)), 0, 1e-6);
        EXPECT_NEAR(Dot(n, Minus(d, b)), 0, 1e-6);
        double mid = (k + 0.5) * M_PI / 4;
        EXPECT_GT(Dot(n, {std::sin(mid), std::cos(mid), 0}), 0.6) << "outwards";
        EXPECT_GT(n[2], 0.6) << "upwards";
    }
}

TEST_F(RoundSolids, PartTurnsStopShortOfTheirEndAngle)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cylinder 1 1 180 8 x"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 8u);
    for (const Primitive &band : drawn)
        for (const DrawnVertex &v : band.vertices)
            EXPECT_GE(v.position[0], 0);
    const Vec3 end = drawn[7].vertices[3].position;
    EXPECT_GT(end[0], 0) << "180 degrees in single precision falls short of the -y axis";
    EXPECT_LT(end[0], 1e-5);
    EXPECT_NEAR(end[1], -1, 1e-9);
    for (const char *line : {"cylinder 1 1 720 8 x", "cylinder 1 1 -360 8 x"}) {
        recording_gl::Reset();
        EXPECT_EQ(Run(line), "") << line;
        drawn = Primitives();
        ASSERT_EQ(drawn.size(), 8u) << line;
        EXPECT_NE(drawn[7].vertices[3].position, drawn[0].vertices[0].position) << line << ": only exactly 360 degrees close";
    }
}

TEST_F(RoundSolids, ZeroOrNegativeCountsDrawNothing)
{
    LoadWithCanvas();
    FloatingPointTraps traps;
    for (const char *line : {"cylinder 1 0 360 8 x", "cylinder 1 1 360 0 x", "cylinder 1 -2 360 8 flat", "cylinder 1 2 360 -3 x",
                             "torus 2 0 360 0 x 360 8 x", "torus 2 0 360 4 x 360 0 x", "torus 2 0 360 -1 flat 360 -5 flat"}) {
        recording_gl::Reset();
        EXPECT_EQ(Run(line), "") << line;
        EXPECT_EQ(recording_gl::Calls(), (Calls{Call("glShadeModel", {GL_SMOOTH})})) << line;
    }
    EXPECT_EQ(SweepFlat, 1) << "the flags are still taken from the tokens";
    EXPECT_EQ(ProfileFlat, 1);
    EXPECT_EQ(TubeCentreRadius, 2.0f);
}

TEST_F(RoundSolids, DegenerateProfilesSendNothingThatIsNotANumber)
{
    LoadWithCanvas();
    FloatingPointTraps traps;
    for (const char *style : {"solid", "wire"}) {
        Run(style);
        for (const char *line : {"cylinder 1 1 0 8 x", "cylinder 1 1 0 8 flat", "cylinder 0 1 0 4 x", "torus 0 0 0 4 x 360 8 x",
                                 "torus 0 0 0 4 flat 360 8 flat", "torus 0 0 180 4 x 0 8 flat", "torus 0 0 180 4 flat 0 8 x",
                                 "torus 0 0 180 1 x 360 1 x", "cylinder 1 1 360 1 flat"}) {
            recording_gl::Reset();
            EXPECT_EQ(Run(line), "") << line;
            EXPECT_FALSE(recording_gl::Calls().empty()) << line;
            EXPECT_FALSE(AnyNonFinite()) << style << ": " << line;
        }
    }
}

TEST_F(RoundSolids, TorusWithoutCentreRadiusIsAUnitSphere)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("torus 0 0 180 8 x 360 16 x"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 8u * 16u);
    EXPECT_EQ(drawn[0].vertices[1].position, (Vec3{0, 0, 1})) << "the first profile point is the top";
    for (const Primitive &band : drawn) {
        EXPECT_EQ(band.normalsBefore, 0);
        EXPECT_EQ(band.normalsInside, 4);
        for (const DrawnVertex &v : band.vertices) {
            EXPECT_NEAR(Length(v.position), 1, 1e-6);
            ExpectNear(v.normal, Unit(v.position), 1e-6, "vertex normal");
        }
    }
}

TEST_F(RoundSolids, TorusClosesAroundTheAxisButNotAcrossTheTube)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("torus 2 0 360 12 x 360 24 x"), "");
    EXPECT_EQ(TubeCentreRadius, 2.0f);
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 12u * 24u);
    for (int row = 0; row < 12; row++) {
        const Primitive &first = drawn[24 * row], &last = drawn[24 * row + 23];
        EXPECT_EQ(last.vertices[2].position, first.vertices[1].position) << row;
        EXPECT_EQ(last.vertices[3].position, first.vertices[0].position) << row;
    }
    for (const Primitive &band : drawn)
        for (const DrawnVertex &v : band.vertices)
            ExpectNear(v.normal, TubeDirection(v.position, 2), 1e-6, "vertex normal");
    const Vec3 top = drawn[0].vertices[1].position, end = drawn[11 * 24].vertices[0].position;
    EXPECT_EQ(top, (Vec3{0, 2, 1}));
    EXPECT_NE(end, top) << "the tube's last profile point falls a little short";
    EXPECT_NEAR(end[1], 2, 1e-5);
    EXPECT_NEAR(end[2], 1, 1e-5);
}

TEST_F(RoundSolids, TorusShadingCombinations)
{
    LoadWithCanvas();
    struct Case {
        const char *style, *line;
        int before, inside;
        // Pairs of corners that share a normal within each band.
        std::vector<std::pair<int, int>> shared;
    } cases[] = {
        {"solid", "torus 2 0 360 12 flat 360 24 flat", 1, 0, {{0, 1}, {1, 2}, {2, 3}}},
        {"solid", "torus 2 0 360 12 x 360 24 x", 0, 4, {}},
        {"solid", "torus 2 0 360 12 x 360 24 flat", 0, 3, {{0, 3}, {1, 2}}},
        {"solid", "torus 2 0 360 12 flat 360 24 x", 0, 2, {{0, 1}, {2, 3}}},
        {"wire", "torus 2 0 360 12 flat 360 24 flat", 0, 4, {}},
        {"dot", "torus 2 0 360 12 x 360 24 flat", 0, 4, {}},
        {"wire", "torus 2 0 360 12 flat 360 24 x", 0, 4, {}},
    };
    for (const Case &c : cases) {
        Run(c.style);
        recording_gl::Reset();
        EXPECT_EQ(Run(c.line), "") << c.line;
        std::vector<Primitive> drawn = Primitives();
        ASSERT_EQ(drawn.size(), 12u * 24u) << c.line;
        for (const Primitive &band : drawn) {
            ASSERT_EQ(band.normalsBefore, c.before) << c.style << " " << c.line;
            ASSERT_EQ(band.normalsInside, c.inside) << c.style << " " << c.line;
            for (auto [i, j] : c.shared)
                EXPECT_EQ(band.vertices[i].normal, band.vertices[j].normal) << c.line;
            if (c.shared.size() == 2) {
                // Averaged normals: the mean of the two corners' tube directions.
                for (auto [i, j] : c.shared) {
                    const Vec3 ni = TubeDirection(band.vertices[i].position, 2), nj = TubeDirection(band.vertices[j].position, 2);
                    ExpectNear(band.vertices[i].normal, Unit({ni[0] + nj[0], ni[1] + nj[1], ni[2] + nj[2]}), 1e-6, c.line);
                }
            }
            if (c.inside == 4)
                for (const DrawnVertex &v : band.vertices)
                    ExpectNear(v.normal, TubeDirection(v.position, 2), 1e-6, c.line);
        }
    }
}

// Smooth torus bands reuse the normals of the corners a band shares with the
// one before it. Whatever changes between bands, each corner must get exactly
// the normal worked out afresh for it with the state of its own band.
TEST_F(RoundSolids, SmoothTubeBandsGiveEachCornerItsOwnExactNormal)
{
    struct Band {
        float centreRadius;
        int outside;
        float a[3], b[3], c[3], d[3];
    };
    // The second band of a row starts on the first one's last corners.
    const float p0[3] = {0, 2, 1}, p1[3] = {0, 3, 0}, p2[3] = {1.5f, 2.6f, 0}, p3[3] = {1, 1.7f, 1};
    auto band = [](float radius, int outside, const float *a, const float *b, const float *c, const float *d) {
        Band out{radius, outside, {}, {}, {}, {}};
        std::copy(a, a + 3, out.a), std::copy(b, b + 3, out.b), std::copy(c, c + 3, out.c), std::copy(d, d + 3, out.d);
        return out;
    };
    const float q2[3] = {2.5f, 1.5f, 0.5f}, q3[3] = {0.5f, 2.5f, -1};
    struct Case {
        const char *what;
        std::vector<Band> bands;
    } cases[] = {
        {"a row", {band(2, 1, p1, p0, p3, p2), band(2, 1, p2, p3, q3, q2), band(2, 1, q2, q3, p0, p1)}},
        {"facing turned between bands", {band(2, 1, p1, p0, p3, p2), band(2, 0, p2, p3, q3, q2), band(2, 1, p2, p3, q3, q2)}},
        {"centre radius changed between bands", {band(2, 1, p1, p0, p3, p2), band(1.5f, 1, p2, p3, q3, q2)}},
    };
    SweepFlat = 0;
    ProfileFlat = 0;
    for (const Case &c : cases) {
        std::vector<Vec3> expected;
        recording_gl::Reset();
        for (const Band &b : c.bands) {
            TubeCentreRadius = b.centreRadius;
            OrientationOutside = b.outside;
            for (const float *corner : {b.a, b.b, b.c, b.d}) {
                float n[3];
                TubeVertexNormal(n, corner);
                NormalizeVector(n, 1);
                expected.push_back({n[0], n[1], n[2]});
            }
            EmitTubeBand(b.a, b.b, b.c, b.d);
        }
        std::vector<Vec3> normals;
        for (const Primitive &drawn : Primitives())
            for (const DrawnVertex &v : drawn.vertices)
                normals.push_back(v.normal);
        EXPECT_EQ(normals, expected) << c.what;
    }
    OrientationOutside = 1;
}

TEST_F(RoundSolids, FlatCylinderInWireOrDotStyleKeepsEdgeNormals)
{
    LoadWithCanvas();
    for (const char *style : {"wire", "dot"}) {
        Run(style);
        recording_gl::Reset();
        Run("cylinder 1 1 360 4 flat");
        std::vector<Primitive> drawn = Primitives();
        ASSERT_EQ(drawn.size(), 4u);
        for (const Primitive &band : drawn)
            EXPECT_EQ(band.normalsInside, 1) << style;
    }
}

// Runs line facing out and facing in: the corners must be the same and every
// normal exactly reversed.
void ExpectInsideReverses(const std::function<std::string(const std::string &)> &run, const std::string &line)
{
    run("out");
    recording_gl::Reset();
    run(line);
    Calls outside = GeometryCalls();
    run("in");
    recording_gl::Reset();
    run(line);
    Calls inside = GeometryCalls();
    run("out");
    ASSERT_EQ(outside.size(), inside.size()) << line;
    int normals = 0;
    for (size_t i = 0; i < outside.size(); i++) {
        ASSERT_EQ(outside[i].name, inside[i].name) << line;
        if (outside[i].name == "glNormal3fv") {
            normals++;
            for (int j = 0; j < 3; j++)
                ASSERT_EQ(inside[i].args[j], -outside[i].args[j]) << line << " call " << i;
        } else {
            ASSERT_EQ(inside[i], outside[i]) << line;
        }
    }
    EXPECT_GT(normals, 0) << line;
}

TEST_F(RoundSolids, InsideReversesEveryNormalAndKeepsTheCorners)
{
    LoadWithCanvas();
    auto run = [this](const std::string &line) { return Run(line); };
    for (const char *style : {"solid", "wire"}) {
        Run(style);
        for (const char *line : {"cylinder 1 1 360 8 x", "cylinder 0.5 2 300 8 flat", "cylinder 0 1 360 8 flat",
                                 "torus 2 0 360 6 x 360 8 x", "torus 2 0 360 6 flat 360 8 x", "torus 2 0 360 6 x 360 8 flat",
                                 "torus 2 0 360 6 flat 360 8 flat", "torus 0 0 180 4 x 360 8 flat"})
            ExpectInsideReverses(run, line);
    }
}

TEST_F(RoundSolids, NegativeSweepTurnsTowardsMinusX)
{
    LoadWithCanvas();
    Run("cylinder 1 1 -90 4 flat");
    std::vector<Primitive> flat = Primitives();
    ASSERT_EQ(flat.size(), 4u);
    for (size_t k = 0; k < 4; k++) {
        for (const DrawnVertex &v : flat[k].vertices)
            EXPECT_LE(v.position[0], 0);
        double mid = -(k + 0.5) * M_PI / 8;
        EXPECT_LT(Dot(flat[k].vertices[0].normal, {std::sin(mid), std::cos(mid), 0}), -0.9) << "flat facets face in";
    }
    recording_gl::Reset();
    Run("cylinder 1 1 -90 4 x");
    for (const Primitive &band : Primitives())
        for (const DrawnVertex &v : band.vertices)
            ExpectNear(v.normal, Unit({v.position[0], v.position[1], 0}), 1e-6, "edge normals still face out");
    recording_gl::Reset();
    Run("torus 2 0 360 6 x -120 8 x");
    for (const Primitive &band : Primitives())
        for (const DrawnVertex &v : band.vertices) {
            EXPECT_LE(v.position[0], 1e-6);
            ExpectNear(v.normal, TubeDirection(v.position, 2), 1e-6, "vertex normals still face out");
        }
}

}
