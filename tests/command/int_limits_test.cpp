// Whole-number tokens and rectangles at the int limits: every integer token
// is held to INT_MIN..INT_MAX the same way on every platform, and rectangle
// arithmetic near the limits neither overflows nor differs from Windows where
// Windows' own 32-bit sums stay in range.
#include "tests/doubles/plugin_fixture.h"
#include "tests/doubles/recording_host.h"

#include <climits>
#include <cstdint>

namespace {

using Calls = std::vector<GlCall>;
using IntLimits = PluginTest;

TEST(TokenToInt, ReadsAsAtoiInRangeAndHoldsToTheLimitsBeyond)
{
    struct Case {
        const char *token;
        int value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"  \t-17", -17},
        {"+8", 8},
        {"12.7", 12},
        {"3x", 3},
        {"abc", 0},
        {"", 0},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},
        {"-2147483649", INT_MIN},
        {"4294967296", INT_MAX},     // a 64-bit long truncated to int would give 0
        {"-4294967297", INT_MIN},    // ... and -1
        {"99999999999999999999999999", INT_MAX},
        {"-99999999999999999999999999", INT_MIN},
        {"0000000000000000000000000000012", 12},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TokenToInt(c.token), c.value) << '"' << c.token << '"';
}

TEST_F(IntLimits, CountsBeyondTheIntRangeReachGluAtTheLimits)
{
    LoadWithCanvas();
    double q = recording_gl::QuadricId(Quadric);
    EXPECT_EQ(Run("sphere -2147483649 4294967298 x"), "");
    EXPECT_EQ(Run("disk 0.5 4294967296 360 -2147483649"), "");
    EXPECT_EQ(recording_gl::CallsNamed({"gluSphere", "gluPartialDisk"}),
              (Calls{Call("gluSphere", {q, 1, INT_MAX, INT_MIN}),
                     Call("gluPartialDisk", {q, 0.5, 1, INT_MIN, INT_MAX, 0, 360})}));
}

TEST_F(IntLimits, NegativeCountsBeyondTheRangeDrawNothing)
{
    // On 64-bit Linux atoi wrapped these to 2147483647 bands: hours of drawing.
    LoadWithCanvas();
    for (const char *line : {"cylinder 1 -2147483649 360 4 x", "cylinder 1 4 360 -2147483649 x",
                             "torus 2 0 360 -2147483649 x 360 8 x", "torus 2 0 360 8 x 360 -4294967297 x"}) {
        recording_gl::Reset();
        EXPECT_EQ(Run(line), "") << line;
        EXPECT_TRUE(recording_gl::CallsNamed({"glBegin"}).empty()) << line;
    }
}

TEST_F(IntLimits, ShineExponentHeldToTheIntRange)
{
    LoadWithCanvas();
    EXPECT_EQ(Run("shine 99999999999 1 1 1"), "");
    EXPECT_EQ(Run("shine -99999999999 1 1 1"), "");
    EXPECT_EQ(recording_gl::CallsNamed({"glMateriali"}),
              (Calls{Call("glMateriali", {GL_FRONT_AND_BACK, GL_SHININESS, INT_MAX}),
                     Call("glMateriali", {GL_FRONT_AND_BACK, GL_SHININESS, INT_MIN})}));
}

struct RectCase {
    RECT before;
    int dx, dy;
    RECT inflated, offset;
};

std::string Show(const RECT &r)
{
    return "{" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + "}";
}

bool Same(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(PortableRect, InflateAndOffsetMatchWindowsInRangeAndHoldAtTheLimits)
{
    const int Max = INT_MAX, Min = INT_MIN;
    const RectCase cases[] = {
        // Sums in range: exactly what Windows gives.
        {{0, 0, 64, 64}, 3, -1, {-3, 1, 67, 63}, {3, -1, 67, 63}},
        {{10, 20, 30, 40}, -20, -30, {30, 50, 10, 10}, {-10, -10, 10, 10}},
        {{0, 0, 64, 64}, Max, 0, {-Max, 0, Max, 64}, {Max, 0, Max, 64}},
        {{Max, Min, Max, Min}, 0, 0, {Max, Min, Max, Min}, {Max, Min, Max, Min}},
        {{-1, 0, 0, 0}, Max, Max, {Min, -Max, Max, Max}, {Max - 1, Max, Max, Max}},
        // Sums beyond the range stay at the limit they passed.
        {{0, 0, 64, 64}, Min, 0, {Max, 0, Min + 64, 64}, {Min, 0, Min + 64, 64}},
        {{1, 2, 64, 64}, Max, Max, {-Max + 1, -Max + 2, Max, Max}, {Max, Max, Max, Max}},
        {{Min, Min, Max, Max}, 1, 1, {Min, Min, Max, Max}, {Min + 1, Min + 1, Max, Max}},
        {{Min, Min, Max, Max}, -1, -1, {Min + 1, Min + 1, Max - 1, Max - 1}, {Min, Min, Max - 1, Max - 1}},
        {{Min, Min, Min, Min}, Min, Min, {0, 0, Min, Min}, {Min, Min, Min, Min}},
    };
    for (const RectCase &c : cases) {
        RECT inflated = c.before, offset = c.before;
        EXPECT_TRUE(InflateRect(&inflated, c.dx, c.dy));
        EXPECT_TRUE(OffsetRect(&offset, c.dx, c.dy));
        EXPECT_TRUE(Same(inflated, c.inflated)) << Show(c.before) << " inflated by " << c.dx << ", " << c.dy
                                                << " gave " << Show(inflated);
        EXPECT_TRUE(Same(offset, c.offset)) << Show(c.before) << " offset by " << c.dx << ", " << c.dy << " gave "
                                            << Show(offset);
    }
}

TEST_F(IntLimits, StereoAmountsAtTheLimitsLeaveUsableViews)
{
    Load();
    EXPECT_EQ(Run("canvas 64 64 2147483647"), "");
    EXPECT_TRUE(Same(CanvasView.rect, RECT{-INT_MAX, 0, INT_MAX, 64})) << Show(CanvasView.rect);
    EXPECT_EQ(Run("canvas 64 64 -2147483649"), "");
    EXPECT_TRUE(Same(CanvasView.rect, RECT{INT_MAX, 0, INT_MIN + 64, 64})) << Show(CanvasView.rect);
    EXPECT_EQ(Run("canvas 64 32 -3 persp 45 1 100 10 0.1 -2147483648"), "");
    EXPECT_TRUE(Same(SceneView.rect, RECT{INT_MAX, 0, INT_MIN + 64, 32})) << Show(SceneView.rect);
    // The commands that use those rectangles draw what lies on the canvas.
    EXPECT_EQ(Run("canvas 64 64 2147483647"), "");
    EXPECT_EQ(Run("erase black"), "");
    EXPECT_EQ(host.CanvasOf(LeftCanvas)->Count(0, 0, 0, 64, 64), 64 * 64);
    EXPECT_EQ(Run("picture r 2147483647 -2147483648 1 abs /nonexistent.png"), "");
}

TEST(PortableText, TextAtTheEdgeOfTheIntRangeMeasuresHeldAndDrawsNothing)
{
    FakeCanvas canvas;
    MakeSurface(canvas, 32, 32, 0x00FFFFFF);
    HDC dc = reinterpret_cast<HDC>(&canvas.surface);
    RECT box = {INT_MAX - 5, INT_MAX - 3, INT_MAX, INT_MAX};
    EXPECT_GT(DrawTextA(nullptr, "Wide text", -1, &box, DT_CALCRECT), 0);
    EXPECT_EQ(box.right, INT_MAX);
    EXPECT_EQ(box.bottom, INT_MAX);
    RECT far = {INT_MAX - 5, INT_MAX - 3, INT_MAX, INT_MAX};
    EXPECT_GT(DrawTextA(dc, "Wide text\nand more", -1, &far, DT_WORDBREAK), 0);
    RECT wide = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    EXPECT_GT(DrawTextA(dc, "Wide text", -1, &wide, DT_WORDBREAK), 0);
    EXPECT_EQ(canvas.Count(0x00FFFFFF, 0, 0, 32, 32), 32 * 32) << "text far outside the surface drew on it";
}

}
