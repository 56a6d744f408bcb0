// sphere, cylinder and torus: the quadric calls of sphere; the swept bands of
// cylinder and torus with their exact corners, the closing of a full turn,
// every shading combination, the facing, negative sweeps and zero counts.
#include "tests/doubles/gl_stream.h"
#include "tests/doubles/plugin_fixture.h"

#include <cfenv>
#include <cmath>

namespace {

using RoundSolids = PluginTest;
using Calls = std::vector<GlCall>;

// The angle step of a sweep, in single precision with the constant 3.14159.
float StepOf(float degrees, int segments)
{
    float step = degrees * 3.14159f / 180.0f;
    return step / (float)segments;
}

// Rounds to single precision out of line: GCC 12's SLP vectoriser at -O2 was
// seen to drop the rounding of a sine or cosine that is later widened to
// double, which would make these expectations wrong.
[[gnu::noinline]] float Single(double value)
{
    return (float)value;
}

// The profile point (radius, z) at the j-th angle of the sweep; a closed sweep
// puts its last angle back on the +y axis.
Vec3 At(float radius, float z, int j, float step, bool closing = false)
{
    float angle = (float)j * step;
    float c = closing ? 1.0f : Single(std::cos((double)angle));
    float s = closing ? 0.0f : Single(std::sin((double)angle));
    return {radius * s, radius * c, z};
}

std::vector<Vec3> Corners(const Primitive &p)
{
    std::vector<Vec3> corners;
    for (const DrawnVertex &v : p.vertices)
        corners.push_back(v.position);
    return corners;
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

TEST_F(RoundSolids, FlatCylinderOfFourSegmentsIsAClosedSquarePrism)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cylinder 1 1 360 4 flat"), "");
    EXPECT_EQ(recording_gl::Calls().front(), Call("glShadeModel", {GL_SMOOTH}));
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 4u);
    float step = StepOf(360, 4);
    for (int k = 0; k < 4; k++) {
        bool last = k == 3;
        EXPECT_EQ(drawn[k].mode, GL_QUADS);
        EXPECT_EQ(Corners(drawn[k]), (std::vector<Vec3>{At(1, 0, k, step), At(1, 1, k, step), At(1, 1, k + 1, step, last),
                                                         At(1, 0, k + 1, step, last)}))
            << k;
        // The row's edge normal comes first, then one facet normal per band.
        EXPECT_EQ(drawn[k].normalsBefore, k == 0 ? 2 : 1) << k;
        EXPECT_EQ(drawn[k].normalsInside, 0) << k;
        double mid = (k + 0.5) * M_PI / 2;
        ExpectNear(drawn[k].vertices[0].normal, {std::sin(mid), std::cos(mid), 0}, 1e-5, "facet normal");
    }
    EXPECT_EQ(drawn[0].vertices[0].position, (Vec3{0, 1, 0}));
    EXPECT_EQ(drawn[0].vertices[1].position, (Vec3{0, 1, 1}));
    EXPECT_EQ(drawn[3].vertices[2].position, (Vec3{0, 1, 1})) << "the full turn closes exactly";
}

TEST_F(RoundSolids, CylinderRowsRunFromTheTopDownInSinglePrecision)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cylinder 0.3 7 300 37 x"), "");
    std::vector<Primitive> drawn = Primitives();
    const int rows = 7, segments = 37;
    ASSERT_EQ(drawn.size(), size_t(rows * segments));
    float step = StepOf(300, segments);
    float dz = -1.0f / (float)rows, dr = (1.0f - 0.3f) / (float)rows;
    float radius[rows + 1] = {0.3f}, z[rows + 1] = {1.0f};
    for (int i = 0; i < rows; i++) {
        z[i + 1] = 1.0f + (float)(i + 1) * dz;
        radius[i + 1] = 0.3f + (float)(i + 1) * dr;
    }
    for (int i = 0; i < rows; i++)
        for (int k = 0; k < segments; k++)
            ASSERT_EQ(Corners(drawn[segments * i + k]),
                      (std::vector<Vec3>{At(radius[i + 1], z[i + 1], k, step), At(radius[i], z[i], k, step),
                                         At(radius[i], z[i], k + 1, step), At(radius[i + 1], z[i + 1], k + 1, step)}))
                << "row " << i << " band " << k;
    EXPECT_NEAR(drawn.back().vertices[3].position[2], 0.0, 1e-7) << "the last row ends at z = 0";
}

TEST_F(RoundSolids, SmoothBandsShareOneNormalPerProfileEdge)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cylinder 1 2 360 16 x"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 32u);
    float step = StepOf(360, 16);
    for (int row = 0; row < 2; row++) {
        const Primitive &first = drawn[16 * row];
        const Primitive &last = drawn[16 * row + 15];
        EXPECT_EQ(first.normalsBefore, 1) << "the edge normal at angle 0";
        EXPECT_EQ(first.vertices[0].normal, (Vec3{0, 1, 0}));
        EXPECT_EQ(last.vertices[2].position, first.vertices[1].position) << "closed row " << row;
        EXPECT_EQ(last.vertices[3].position, first.vertices[0].position) << "closed row " << row;
        EXPECT_EQ(last.vertices[3].normal, (Vec3{0, 1, 0}));
        EXPECT_EQ(first.vertices[1].position[2], row == 0 ? 1.0 : 0.5);
        EXPECT_EQ(first.vertices[0].position[2], row == 0 ? 0.5 : 0.0);
        for (int k = 0; k < 16; k++) {
            const Primitive &band = drawn[16 * row + k];
            EXPECT_EQ(band.normalsInside, 1);
            EXPECT_EQ(band.vertices[0].normal, band.vertices[1].normal);
            EXPECT_EQ(band.vertices[2].normal, band.vertices[3].normal);
            Vec3 radial = At(1, 0, k + 1, step, k == 15);
            ExpectNear(band.vertices[2].normal, radial, 1e-6, "edge normal");
            if (k > 0) {
                EXPECT_EQ(band.vertices[0].normal, drawn[16 * row + k - 1].vertices[3].normal);
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

TEST_F(RoundSolids, PartTurnsDoNotClose)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("cylinder 1 1 180 8 x"), "");
    std::vector<Primitive> drawn = Primitives();
    ASSERT_EQ(drawn.size(), 8u);
    for (const Primitive &band : drawn)
        for (const DrawnVertex &v : band.vertices)
            EXPECT_GE(v.position[0], 0);
    float step = StepOf(180, 8);
    EXPECT_EQ(drawn[7].vertices[3].position, At(1, 0, 8, step));
    EXPECT_GT(drawn[7].vertices[3].position[0], 0) << "180 degrees falls short of the -y axis";
    EXPECT_NEAR(drawn[7].vertices[3].position[1], -1, 1e-9);

    for (const char *line : {"cylinder 1 1 359.9 8 x", "cylinder 1 1 720 8 x", "torus 2 0 360 2 x 359.9 8 x"}) {
        recording_gl::Reset();
        EXPECT_EQ(Run(line), "") << line;
        drawn = Primitives();
        ASSERT_EQ(drawn.size() % 8, 0u) << line;
        EXPECT_NE(drawn[7].vertices[3].position[0], 0) << line << ": only exactly 360 degrees close";
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
