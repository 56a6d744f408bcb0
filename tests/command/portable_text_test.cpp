// The portable DrawTextA: one fixed font, measuring and drawing agree.
#include "host/host_table.h"
#include "platform/portable/gdi.h"
#include "tests/doubles/recording_host.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Surface {
    FakeCanvas canvas;
    HDC dc;
    Surface(int w, int h)
    {
        MakeSurface(canvas, w, h, 0x00FFFFFF);
        dc = reinterpret_cast<HDC>(&canvas.surface);
    }
};

RECT Measure(const char *text, UINT extra = 0, int width = 0)
{
    RECT rect = {0, 0, width, 0};
    DrawTextA(nullptr, text, -1, &rect, DT_CALCRECT | extra);
    return rect;
}

TEST(PortableText, MeasuredBoxHoldsExactlyTheDrawnPixels)
{
    const char *text = "Tesselin 3D";
    RECT box = Measure(text);
    EXPECT_GT(box.right, 40);
    EXPECT_GE(box.bottom, 14);
    EXPECT_LE(box.bottom, 18) << "a line height near 16 pixels";

    Surface s(200, 60);
    RECT at = {10, 20, 10 + box.right, 20 + box.bottom};
    EXPECT_EQ(DrawTextA(s.dc, text, -1, &at, 0), box.bottom);
    long inside = s.canvas.Count(0, at.left, at.top, at.right, at.bottom);
    EXPECT_GT(inside, 50);
    EXPECT_EQ(s.canvas.Count(0), inside) << "nothing drawn outside the measured box";
    EXPECT_EQ(s.canvas.Count(0) + s.canvas.Count(0xFFFFFF), 200L * 60L) << "pure black on white";
}

TEST(PortableText, TrailingSpaceCountsInTheWidth)
{
    EXPECT_GT(Measure("abc ").right, Measure("abc").right);
}

TEST(PortableText, LineBreaksAndWrappingMakeLines)
{
    int line = Measure("x").bottom;
    EXPECT_EQ(Measure("one\r\ntwo\r\nthree").bottom, 3 * line);
    EXPECT_EQ(Measure("one\ntwo").bottom, 2 * line);
    RECT wide = Measure("one two three four");
    EXPECT_EQ(wide.bottom, line) << "no wrapping without DT_WORDBREAK";
    RECT wrapped = Measure("one two three four", DT_WORDBREAK, wide.right / 2);
    EXPECT_GE(wrapped.bottom, 2 * line);
    EXPECT_LE(wrapped.right, wide.right / 2) << "every wrapped line fits the width";
    // A word wider than the rectangle stays whole on its own line.
    RECT narrow = Measure("extraordinarily long", DT_WORDBREAK, 5);
    EXPECT_EQ(narrow.bottom, 2 * line);
    EXPECT_EQ(narrow.right, Measure("extraordinarily").right);
}

TEST(PortableText, DrawingClipsToTheRectangleAndTheSurface)
{
    Surface s(40, 20);
    RECT rect = {-30, -5, 20, 10};
    DrawTextA(s.dc, "WWWWWWWWWW", -1, &rect, 0);
    EXPECT_GT(s.canvas.Count(0), 0);
    EXPECT_EQ(s.canvas.Count(0, 20, 0, 40, 20), 0);
    EXPECT_EQ(s.canvas.Count(0, 0, 10, 40, 20), 0);
}

TEST(PortableGdi, MemoryContextDrawsOnItsBitmapAndGivesItBack)
{
    HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 30, 20);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 20), nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    ASSERT_NE(old, nullptr);
    RECT all = {0, 0, 30, 20};
    EXPECT_EQ(GetPixel(memory, 3, 3), 0u) << "a fresh bitmap is black";
    FillRect(memory, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetPixel(memory, 29, 19), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(memory, 30, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(memory, -1, 0), CLR_INVALID);
    RECT some = {5, 5, 8, 6};
    FillRect(memory, &some, (HBRUSH)GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(GetPixel(memory, 7, 5), 0u);
    EXPECT_EQ(GetPixel(memory, 8, 5), 0xFFFFFFu) << "right edge excluded";
    EXPECT_EQ(SelectObject(memory, old), bitmap);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(PortableGdi, RectangleArithmetic)
{
    RECT r = {10, 20, 30, 40}, copy;
    CopyRect(&copy, &r);
    InflateRect(&copy, -2, 3);
    EXPECT_EQ(copy.left, 12);
    EXPECT_EQ(copy.top, 17);
    EXPECT_EQ(copy.right, 28);
    EXPECT_EQ(copy.bottom, 43);
    OffsetRect(&copy, 5, -7);
    EXPECT_EQ(copy.left, 17);
    EXPECT_EQ(copy.top, 10);
    EXPECT_EQ(copy.right, 33);
    EXPECT_EQ(copy.bottom, 36);
}

}
