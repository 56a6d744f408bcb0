// Raster text: a line drawn black on white into an off-screen bitmap in the
// one fixed font, each pure black pixel becoming a unit cell: a front face at
// z = 0 and four walls reaching back to z = -depth.
#include "plugin/tesselin.h"
#include "geometry/facet_kernel.h"
#include "data/data.h"

#include <stdlib.h>
#include <string.h>

static void EmitCell(int x, int j, float x0, float y0, float depth, const float *offset)
{
    float left = (float)x + x0, right = (float)(x + 1) + x0;
    float bottom = (float)j + y0, top = (float)(j + 1) + y0;
    const Vector p0 = {left, bottom, 0.0f}, p1 = {right, bottom, 0.0f};
    const Vector p2 = {right, top, 0.0f}, p3 = {left, top, 0.0f};
    EmitQuad(p0, p1, p2, p3);

    // The walls follow the cell's edges counter-clockwise seen from +z, so
    // each one faces out of the cell when depth is positive.
    ExtrusionRecord wall;
    wall.a[0] = left, wall.a[1] = bottom, wall.a[2] = -depth;
    wall.b[0] = right, wall.b[1] = bottom, wall.b[2] = -depth;
    ExtrudeQuadStep(&wall, offset);
    wall.b[0] = right, wall.b[1] = top;
    ExtrudeQuadStep(&wall, offset);
    wall.b[0] = left, wall.b[1] = top;
    ExtrudeQuadStep(&wall, offset);
    wall.b[0] = left, wall.b[1] = bottom;
    ExtrudeQuadStep(&wall, offset);
}

// Columns left to right, each from the bottom row up; only exactly black
// pixels make cells (the font draws no grey, and none would count).
static void EmitCells(HDC memory, int width, int height, float x0, float y0, float depth)
{
    const Vector offset = {0.0f, 0.0f, depth};
    for (int x = 0; x < width; x++)
        for (int j = 0; j < height; j++)
            if (GetPixel(memory, x, height - 1 - j) == 0)
                EmitCell(x, j, x0, y0, depth, offset);
}

void RasterizeText(const char *text, float ax, float ay, float depth)
{
    HWND window = GetCanvasWindow();
    HDC dc = GetDC(window);
    RECT box = {0, 0, 0, 0};
    int height = DrawTextA(dc, text, -1, &box, DT_CALCRECT);
    int width = box.right;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    ReleaseDC(window, dc);
    HGDIOBJ kept = memory && bitmap ? SelectObject(memory, bitmap) : NULL;
    float x0 = (float)(width * ((double)ax - 0.5));
    float y0 = (float)(height * ((double)ay - 0.5));

    // Without its bitmap the memory context holds a stock one, which must be
    // neither painted nor read as text.
    if (memory && bitmap) {
        RECT all = {0, 0, width, height};
        FillRect(memory, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
        height = DrawTextA(memory, text, -1, &all, 0);
        EmitCells(memory, width, height, x0, y0, depth);
    }

    if (memory) {
        if (kept)
            SelectObject(memory, kept);
        DeleteDC(memory);
    }
    if (bitmap)
        DeleteObject(bitmap);
}

// The words joined by single spaces, each followed by one, so the line ends
// with a space. A line too long for the text line buffer is held whole in a
// block of its own instead of being cut.
const char *CommandText(int count, char **tokens)
{
    if (count < 5)
        return WrongTokenCount();
    size_t length = 0;
    for (int i = 4; i < count; i++)
        length += strlen(tokens[i]) + 1;
    char *line = length < sizeof TextLine ? TextLine : (char *)malloc(length + 1);
    if (!line)
        return NotEnoughMemory();
    size_t at = 0;
    for (int i = 4; i < count; i++) {
        size_t n = strlen(tokens[i]);
        memcpy(line + at, tokens[i], n);
        line[at + n] = ' ';
        at += n + 1;
    }
    line[at] = '\0';
    RasterizeText(line, (float)atof(tokens[1]), (float)atof(tokens[2]), (float)atof(tokens[3]));
    if (line != TextLine)
        free(line);
    return NULL;
}
