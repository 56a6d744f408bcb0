// Raster text and graduations: cells exactly where DrawTextA draws black
// pixels, their faces and walls, the alignment, and the graduation stream.
#include "data/data.h"
#include "tests/command/data_support.h"
#include "tests/doubles/plugin_fixture.h"

#include <algorithm>

namespace {

// What DrawTextA draws for a line in the fixed font: its size and its black
// pixels, as (column, row counted from the bottom), column by column from the
// left, each column from the bottom up.
struct Raster {
    int width = 0, height = 0;
    std::vector<std::pair<int, int>> black;
};

Raster Rasterize(const std::string &text)
{
    Raster r;
    RECT box = {0, 0, 0, 0};
    r.height = DrawTextA(nullptr, text.c_str(), -1, &box, DT_CALCRECT);
    r.width = box.right;
    FakeCanvas canvas;
    MakeSurface(canvas, r.width, r.height, 0x00FFFFFF);
    RECT all = {0, 0, r.width, r.height};
    DrawTextA(reinterpret_cast<HDC>(&canvas.surface), text.c_str(), -1, &all, 0);
    for (int x = 0; x < r.width; x++)
        for (int j = 0; j < r.height; j++)
            if ((canvas.Pixel(x, r.height - 1 - j) & 0xFFFFFF) == 0)
                r.black.push_back({x, j});
    return r;
}

// The five quads of the cell of pixel (x, j): front face, then the bottom,
// right, top and left walls from z = -depth to z = 0.
std::vector<Quad> CellQuads(int x, int j, float x0, float y0, float depth, bool wallNormals)
{
    double l = float(x) + x0, r = float(x + 1) + x0, b = float(j) + y0, t = float(j + 1) + y0;
    double back = -depth, front = 0.0;
    auto wall = [&](double ax, double ay, double bx, double by, Point normal) {
        Quad q{std::nullopt, {Point{ax, ay, back}, Point{bx, by, back}, Point{bx, by, front}, Point{ax, ay, front}}};
        if (wallNormals)
            q.normal = normal;
        return q;
    };
    double s = depth < 0 ? -1.0 : 1.0; // walls face into the cell when the depth is negative
    return {Quad{Point{0, 0, 1}, {Point{l, b, 0}, Point{r, b, 0}, Point{r, t, 0}, Point{l, t, 0}}},
            wall(l, b, r, b, Point{0, -s, 0}), wall(r, b, r, t, Point{s, 0, 0}),
            wall(r, t, l, t, Point{0, s, 0}), wall(l, t, l, b, Point{-s, 0, 0})};
}

void ExpectCells(const std::vector<Quad> &quads, const Raster &raster, float x0, float y0, float depth)
{
    ASSERT_FALSE(raster.black.empty());
    ASSERT_EQ(quads.size(), 5 * raster.black.size()) << "five quads for each black pixel, none for others";
    for (size_t c = 0; c < raster.black.size(); c++) {
        auto [x, j] = raster.black[c];
        std::vector<Quad> want = CellQuads(x, j, x0, y0, depth, depth != 0.0f);
        for (int k = 0; k < 5; k++) {
            const Quad &got = quads[5 * c + k];
            ASSERT_EQ(got.corners, want[k].corners) << "cell " << c << " (" << x << ", " << j << ") quad " << k;
            ASSERT_EQ(got.normal, want[k].normal) << "cell " << c << " quad " << k;
        }
    }
}

using RasterText = PluginTest;

TEST_F(RasterText, CellsLieOnTheBlackPixelsOfTheLine)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("text 0.5 0.5 1.5 Hi"), "");
    // The line is drawn with its trailing space; from 0.5 the box starts at the origin.
    ExpectCells(RecordedQuads(), Rasterize("Hi "), 0.0f, 0.0f, 1.5f);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()", "GetCanvasWindow()"}));
    EXPECT_EQ(host.window.Count(0xFFFFFF), 400L * 300L) << "the canvas window is only measured in";
}

TEST_F(RasterText, CentredTextIsCentredWithItsTrailingSpace)
{
    LoadWithCanvas();
    Raster line = Rasterize("T ");
    ASSERT_GT(line.width, Rasterize("T").width);
    Run("text 0 0 1 T");
    std::vector<Quad> quads = RecordedQuads();
    ExpectCells(quads, line, -line.width / 2.0f, -line.height / 2.0f, 1.0f);
    // The text box spans -W/2 .. W/2; the glyph sits in its left part, the space on the right.
    double maxX = -1e9;
    for (const Quad &q : quads)
        for (const Point &p : q.corners)
            maxX = std::max(maxX, p[0]);
    EXPECT_LT(maxX, line.width / 2.0);
}

TEST_F(RasterText, AlignmentMovesTheBoxByItsOwnSize)
{
    LoadWithCanvas();
    Raster line = Rasterize("ab ");
    Run("text -0.5 1.25 2 ab");
    // -0.5 puts the right edge on the origin; 1.25 lifts the bottom 0.75 H above it.
    ExpectCells(RecordedQuads(), line, float(line.width * (-0.5 - 0.5)), float(line.height * (1.25 - 0.5)), 2.0f);
    // The offsets are formed in double from the float alignment, then rounded once.
    ClearRecords();
    line = Rasterize("T ");
    Run("text 0.2 -0.8 2 T");
    ExpectCells(RecordedQuads(), line, float(line.width * (double(0.2f) - 0.5)),
                float(line.height * (double(-0.8f) - 0.5)), 2.0f);
}

TEST_F(RasterText, FlatAndNegativeDepth)
{
    LoadWithCanvas();
    Raster line = Rasterize("x ");
    Run("text 0.5 0.5 0 x");
    ExpectCells(RecordedQuads(), line, 0, 0, 0.0f); // walls without area send no normal
    ClearRecords();
    Run("text 0.5 0.5 -3 x");
    ExpectCells(RecordedQuads(), line, 0, 0, -3.0f); // walls in front, facing into the cells
}

TEST_F(RasterText, WordsJoinWithSingleSpaces)
{
    LoadWithCanvas();
    Run("text 0.5 0.5 1 a   \"b c\"");
    ExpectCells(RecordedQuads(), Rasterize("a b c "), 0, 0, 1.0f);
    EXPECT_EQ(Run("text 0 0 1"), "Error! Wrong number of tokens");
}

// Lines at and beyond the 259 characters the text line buffer holds are held
// whole: every character of them makes its cells.
TEST_F(RasterText, LongLinesAreHeldWhole)
{
    LoadWithCanvas();
    for (int words : {86, 87, 120}) { // "ab " words: 258, 261 and 360 characters
        ClearRecords();
        std::string command = "text 0.5 0.5 1", line;
        for (int i = 0; i < words; i++) {
            command += " ab";
            line += "ab ";
        }
        EXPECT_EQ(Run(command), "");
        EXPECT_EQ(RecordedQuads().size(), 5 * Rasterize(line).black.size()) << words << " words";
    }
    ClearRecords();
    EXPECT_EQ(Run("text 0.5 0.5 1 " + std::string(300, 'W')), "") << "one word longer than the buffer";
    EXPECT_EQ(RecordedQuads().size(), 5 * Rasterize(std::string(300, 'W') + " ").black.size());
}

TEST_F(RasterText, TextThatDrawsNothingMakesNoCells)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("text 0 0 1 \"\""), "") << "a single space";
    EXPECT_TRUE(RecordedQuads().empty());
}

// The stream of a graduation without its label cells: matrix, material and
// tick calls in their order.
std::vector<GlCall> GraduationCalls()
{
    std::vector<GlCall> kept;
    bool inQuad = false;
    for (const GlCall &call : recording_gl::Calls()) {
        if (call.name == "glBegin" && call.args[0] == GL_QUADS)
            inQuad = true;
        else if (call.name == "glEnd" && inQuad)
            inQuad = false;
        else if (call.name != "glNormal3fv" && call.name != "glVertex3fv")
            kept.push_back(call);
    }
    return kept;
}

std::vector<GlCall> Tick(bool vertical, double along, double length, double r, double g, double b)
{
    const double both = GL_FRONT_AND_BACK, emission = GL_EMISSION, material = GL_AMBIENT_AND_DIFFUSE;
    return {Call("glPushMatrix"),
            vertical ? Call("glTranslatef", {0, along, 0}) : Call("glTranslatef", {along, 0, 0}),
            Call("glMaterialfv", {both, emission, 0, 0, 0, 1}),
            Call("glMaterialfv", {both, material, r, g, b, 1}),
            Call("glMaterialfv", {both, material, 0, 0, 0, 1}),
            Call("glMaterialfv", {both, emission, r, g, b, 1}),
            Call("glBegin", {GL_LINE_STRIP}),
            Call("glVertex3f", {0, 0, 0}),
            vertical ? Call("glVertex3f", {length, 0, 0}) : Call("glVertex3f", {0, length, 0}),
            Call("glEnd"),
            Call("glPopMatrix")};
}

using Graduations = PluginTest;

TEST_F(Graduations, TokenCountsFiveOrEightAndMore)
{
    LoadWithCanvas();
    for (const char *keyword : {"hgrad", "vgrad"}) {
        std::string k = keyword;
        EXPECT_EQ(Run(k + " 1 0 0 2"), "") << "five tokens: no labels, no ticks";
        for (const char *rest : {"", " 1", " 1 0 0", " 1 0 0 2 3", " 1 0 0 2 3 A"})
            EXPECT_EQ(Run(k + rest), "Error! Wrong number of tokens") << k << rest;
    }
    EXPECT_TRUE(recording_gl::Calls().empty()) << "nothing drawn, no material changed";
}

TEST_F(Graduations, HgradTicksRiseAndLabelsHangBelow)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("hgrad 1 0.5 0 2 0.1 A B"), "");
    std::vector<GlCall> want = Tick(false, 0, 2, 1, 0.5, 0);
    std::vector<GlCall> second = Tick(false, 0.1f, 2, 1, 0.5, 0);
    want.insert(want.end(), second.begin(), second.end());
    EXPECT_EQ(GraduationCalls(), want);

    // The labels: centred under their tick, top edge 0.3 of their height below
    // the axis, 2 units deep.
    Raster a = Rasterize("A"), b = Rasterize("B");
    std::vector<Quad> quads = RecordedQuads();
    ASSERT_EQ(quads.size(), 5 * (a.black.size() + b.black.size()));
    float y0 = float(a.height * (double(-0.8f) - 0.5));
    ExpectCells(std::vector<Quad>(quads.begin(), quads.begin() + 5 * a.black.size()), a, -a.width / 2.0f, y0, 2.0f);
    for (const Quad &q : quads)
        for (const Point &p : q.corners) {
            EXPECT_LE(p[1], -0.3 * a.height + 1e-4);
            EXPECT_GE(p[2], -2.0);
        }
}

TEST_F(Graduations, VgradTicksReachRightAndLabelsStandLeft)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("vgrad 0 0 1 -3 2.5 10 20 30"), "");
    std::vector<GlCall> want;
    for (int k = 0; k < 3; k++) {
        std::vector<GlCall> tick = Tick(true, 2.5 * k, -3, 0, 0, 1);
        want.insert(want.end(), tick.begin(), tick.end());
    }
    EXPECT_EQ(GraduationCalls(), want);
    Raster ten = Rasterize("10");
    std::vector<Quad> quads = RecordedQuads();
    ExpectCells(std::vector<Quad>(quads.begin(), quads.begin() + 5 * ten.black.size()), ten,
                float(ten.width * (double(-0.8f) - 0.5)), -ten.height / 2.0f, 2.0f);
    for (const Quad &q : quads)
        for (const Point &p : q.corners)
            EXPECT_LE(p[0], -0.3 * ten.width + 1e-4) << "right edge 0.3 of the width left of the axis";
}

TEST_F(Graduations, ZeroSpacingStacksEveryTickAtTheOrigin)
{
    LoadWithCanvas();
    Run("hgrad 1 1 1 1 0 a b");
    EXPECT_EQ(recording_gl::CallsNamed({"glTranslatef"}),
              (std::vector<GlCall>{Call("glTranslatef", {0, 0, 0}), Call("glTranslatef", {0, 0, 0})}));
}

}
