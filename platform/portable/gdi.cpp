// Rectangles, stock brushes, memory device contexts, bitmaps and pixels.
#include "platform/portable/surface.h"

#include <stdlib.h>
#include <unistd.h>

static PortableBrush WhiteBrush = {BRUSH_MAGIC, RGB(255, 255, 255)};
static PortableBrush BlackBrush = {BRUSH_MAGIC, RGB(0, 0, 0)};

// A fresh memory context holds this 1 x 1 bitmap, as on Windows.
static uint32_t StockPixel;
static PortableBitmap StockBitmap = {BITMAP_MAGIC, {TESSELIN_SURFACE_MAGIC, 1, 1, 1, &StockPixel}};

// Largest bitmap we agree to make: text lines and labels stay far below it.
static const int64_t MaxBitmapPixels = (int64_t)1 << 28;

static uint32_t MagicOf(const void *handle)
{
    return handle ? *(const uint32_t *)handle : 0;
}

TesselinSurface *SurfaceOfDC(HDC dc)
{
    switch (MagicOf(dc)) {
    case TESSELIN_SURFACE_MAGIC:
        return (TesselinSurface *)dc;
    case MEMORY_DC_MAGIC: {
        MemoryDC *memory = (MemoryDC *)dc;
        return memory->bitmap ? &memory->bitmap->surface : NULL;
    }
    default:
        return NULL;
    }
}

bool ClipToSurface(const TesselinSurface *surface, const RECT *rect, RECT *clipped)
{
    clipped->left = rect->left > 0 ? rect->left : 0;
    clipped->top = rect->top > 0 ? rect->top : 0;
    clipped->right = rect->right < surface->width ? rect->right : surface->width;
    clipped->bottom = rect->bottom < surface->height ? rect->bottom : surface->height;
    return clipped->left < clipped->right && clipped->top < clipped->bottom;
}

BOOL CopyRect(RECT *dst, const RECT *src)
{
    if (!dst || !src)
        return 0;
    *dst = *src;
    return 1;
}

// Windows adds in 32 bits and wraps; here each side is worked out in 64 bits
// and held to the int range, so every rectangle that Windows moves without
// wrapping comes out the same, and one that would wrap stays at the limit
// instead of jumping to the far side.
int SaturateToInt(int64_t value)
{
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : (int)value;
}

static void MoveSides(RECT *rect, int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    rect->left = SaturateToInt(rect->left + left);
    rect->top = SaturateToInt(rect->top + top);
    rect->right = SaturateToInt(rect->right + right);
    rect->bottom = SaturateToInt(rect->bottom + bottom);
}

BOOL InflateRect(RECT *rect, int dx, int dy)
{
    if (!rect)
        return 0;
    MoveSides(rect, -(int64_t)dx, -(int64_t)dy, dx, dy);
    return 1;
}

BOOL OffsetRect(RECT *rect, int dx, int dy)
{
    if (!rect)
        return 0;
    MoveSides(rect, dx, dy, dx, dy);
    return 1;
}

HGDIOBJ GetStockObject(int which)
{
    switch (which) {
    case WHITE_BRUSH:
        return (HGDIOBJ)&WhiteBrush;
    case BLACK_BRUSH:
        return (HGDIOBJ)&BlackBrush;
    default:
        return NULL;
    }
}

int FillRect(HDC dc, const RECT *rect, HBRUSH brush)
{
    TesselinSurface *surface = SurfaceOfDC(dc);
    RECT area;
    if (!surface || !rect || MagicOf(brush) != BRUSH_MAGIC)
        return 0;
    if (!ClipToSurface(surface, rect, &area))
        return 1;
    uint32_t colour = ((PortableBrush *)brush)->colour;
    for (int y = area.top; y < area.bottom; y++) {
        uint32_t *row = surface->pixels + (size_t)y * surface->stride;
        for (int x = area.left; x < area.right; x++)
            row[x] = colour;
    }
    return 1;
}

// A window handle points to the host's surface, so its device context is the
// same pointer and there is nothing to release.
HDC GetDC(HWND window)
{
    return MagicOf(window) == TESSELIN_SURFACE_MAGIC ? (HDC)window : NULL;
}

int ReleaseDC(HWND, HDC dc)
{
    return dc != NULL;
}

HDC CreateCompatibleDC(HDC)
{
    MemoryDC *memory = (MemoryDC *)calloc(1, sizeof(MemoryDC));
    if (!memory)
        return NULL;
    memory->magic = MEMORY_DC_MAGIC;
    memory->bitmap = &StockBitmap;
    return (HDC)memory;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width <= 0 || height <= 0 || (int64_t)width * height > MaxBitmapPixels)
        return NULL;
    PortableBitmap *bitmap = (PortableBitmap *)calloc(1, sizeof(PortableBitmap));
    uint32_t *pixels = (uint32_t *)calloc((size_t)width * height, sizeof(uint32_t));
    if (!bitmap || !pixels) {
        free(bitmap);
        free(pixels);
        return NULL;
    }
    bitmap->magic = BITMAP_MAGIC;
    bitmap->surface = {TESSELIN_SURFACE_MAGIC, width, height, width, pixels};
    return (HBITMAP)bitmap;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (MagicOf(dc) != MEMORY_DC_MAGIC)
        return NULL;
    MemoryDC *memory = (MemoryDC *)dc;
    switch (MagicOf(object)) {
    case BITMAP_MAGIC: {
        PortableBitmap *previous = memory->bitmap;
        memory->bitmap = (PortableBitmap *)object;
        return (HGDIOBJ)previous;
    }
    case BRUSH_MAGIC: // brushes are passed to FillRect; selecting one changes nothing
        return GetStockObject(WHITE_BRUSH);
    default:
        return NULL;
    }
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    TesselinSurface *surface = SurfaceOfDC(dc);
    if (!surface || x < 0 || y < 0 || x >= surface->width || y >= surface->height)
        return CLR_INVALID;
    return surface->pixels[(size_t)y * surface->stride + x] & 0x00FFFFFFu;
}

BOOL DeleteDC(HDC dc)
{
    if (MagicOf(dc) != MEMORY_DC_MAGIC)
        return 0;
    free(dc);
    return 1;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (MagicOf(object) == BRUSH_MAGIC || object == (HGDIOBJ)&StockBitmap)
        return 1; // stock objects live as long as the module
    if (MagicOf(object) != BITMAP_MAGIC)
        return 0;
    PortableBitmap *bitmap = (PortableBitmap *)object;
    free(bitmap->surface.pixels);
    free(bitmap);
    return 1;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    char path[4096];
    if (!getcwd(path, sizeof path))
        return 0;
    DWORD length = 0;
    while (path[length])
        length++;
    if (!buffer || length + 1 > size)
        return length + 1; // the size needed, as on Windows; nothing is written
    for (DWORD i = 0; i <= length; i++)
        buffer[i] = path[i];
    return length;
}
