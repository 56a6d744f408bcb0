// DrawTextA with one fixed font: DejaVu Sans rendered by FreeType in monochrome
// mode, so every glyph pixel is either pure black or untouched. Measuring and
// drawing share one layout routine, so a measured rectangle always holds the
// drawn text exactly.
#include "platform/portable/surface.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdlib.h>
#include <string.h>

extern "C" const unsigned char TesselinFontData[];
extern "C" const unsigned char TesselinFontDataEnd[];

// 13 pixels per em gives DejaVu Sans a line height of 15 to 16 pixels, close to
// the default font of a Windows device context.
static const int FontPixelSize = 13;

typedef struct Glyph {
    int loaded;
    int advance;      // pixels to the next pen position
    int left, top;    // bitmap offset from the pen position on the baseline
    int width, rows, pitch;
    unsigned char *bits; // one bit per pixel, most significant bit first
} Glyph;

typedef struct Font {
    int ready;        // 1 loaded, -1 failed (no text is drawn then)
    FT_Library library;
    FT_Face face;
    int ascent, lineHeight;
    Glyph glyphs[256];
} Font;

static Font TheFont;

// Bytes 0x80 to 0x9F are Windows-1252; the rest of the upper half is Latin-1.
static const unsigned short Cp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
    0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

static unsigned CodePointOf(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? Cp1252High[byte - 0x80] : byte;
}

static int LoadFont(void)
{
    if (TheFont.ready)
        return TheFont.ready > 0;
    TheFont.ready = -1;
    if (FT_Init_FreeType(&TheFont.library))
        return 0;
    long size = (long)(TesselinFontDataEnd - TesselinFontData);
    if (FT_New_Memory_Face(TheFont.library, TesselinFontData, size, 0, &TheFont.face) ||
        FT_Set_Pixel_Sizes(TheFont.face, 0, FontPixelSize)) {
        FT_Done_FreeType(TheFont.library);
        return 0;
    }
    const FT_Size_Metrics *metrics = &TheFont.face->size->metrics;
    TheFont.ascent = (int)((metrics->ascender + 63) >> 6);
    TheFont.lineHeight = (int)((metrics->height + 63) >> 6);
    TheFont.ready = 1;
    return 1;
}

// Control characters and code points the font lacks take no room.
static const Glyph *GlyphOf(unsigned char byte)
{
    Glyph *glyph = &TheFont.glyphs[byte];
    if (glyph->loaded)
        return glyph;
    glyph->loaded = 1;
    unsigned code = CodePointOf(byte);
    if (code < 0x20 || code == 0x7F || !code)
        return glyph;
    FT_Face face = TheFont.face;
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME))
        return glyph;
    FT_GlyphSlot slot = face->glyph;
    glyph->advance = (int)((slot->advance.x + 32) >> 6);
    if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO || !slot->bitmap.buffer)
        return glyph;
    int pitch = slot->bitmap.pitch < 0 ? -slot->bitmap.pitch : slot->bitmap.pitch;
    size_t bytes = (size_t)pitch * slot->bitmap.rows;
    glyph->bits = (unsigned char *)malloc(bytes ? bytes : 1);
    if (!glyph->bits)
        return glyph;
    memcpy(glyph->bits, slot->bitmap.buffer, bytes);
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    glyph->width = (int)slot->bitmap.width;
    glyph->rows = (int)slot->bitmap.rows;
    glyph->pitch = pitch;
    return glyph;
}

static int IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

static int64_t WidthOf(const char *text, int length)
{
    int64_t width = 0;
    for (int i = 0; i < length; i++)
        width += GlyphOf((unsigned char)text[i])->advance;
    return width;
}

// Where the line that starts at text ends: at a line break, or, when wrapping,
// after the last whole word that fits in maxWidth (a first word that is wider
// than that stays whole). Trailing spaces of a wrapped line are not part of it.
static int LineLength(const char *text, int length, int wrap, int64_t maxWidth)
{
    int end = 0;
    while (end < length && !IsLineEnd(text[end]))
        end++;
    if (!wrap || WidthOf(text, end) <= maxWidth)
        return end;
    int64_t width = 0;
    int fitting = -1;
    for (int i = 0; i <= end; i++) {
        int wordEnd = i > 0 && text[i - 1] != ' ' && (i == end || text[i] == ' ');
        if (wordEnd && width > maxWidth)
            return fitting >= 0 ? fitting : i;
        if (wordEnd)
            fitting = i;
        if (i < end)
            width += GlyphOf((unsigned char)text[i])->advance;
    }
    return end;
}

// Skips what separates one line from the next: the spaces at a wrapped break,
// then one line break (CR LF counts as one).
static int SkipBreak(const char *text, int length, int at)
{
    while (at < length && text[at] == ' ')
        at++;
    if (at < length && text[at] == '\r') {
        at++;
        if (at < length && text[at] == '\n')
            at++;
    } else if (at < length && text[at] == '\n') {
        at++;
    }
    return at;
}

// Pen positions are 64-bit: a rectangle near the int limits puts them past
// the int range, where they only ever fall outside the clip.
static void DrawGlyph(TesselinSurface *surface, const RECT *clip, const Glyph *glyph, int64_t penX, int64_t baseline)
{
    for (int row = 0; row < glyph->rows; row++) {
        int64_t y = baseline - glyph->top + row;
        if (y < clip->top || y >= clip->bottom)
            continue;
        const unsigned char *bits = glyph->bits + (size_t)row * glyph->pitch;
        uint32_t *pixels = surface->pixels + (size_t)y * surface->stride;
        for (int col = 0; col < glyph->width; col++) {
            int64_t x = penX + glyph->left + col;
            if (x >= clip->left && x < clip->right && (bits[col >> 3] & (0x80 >> (col & 7))))
                pixels[x] = 0;
        }
    }
}

static void DrawLine(TesselinSurface *surface, const RECT *clip, const char *text, int length, int64_t x, int64_t top)
{
    for (int i = 0; i < length; i++) {
        const Glyph *glyph = GlyphOf((unsigned char)text[i]);
        if (glyph->bits)
            DrawGlyph(surface, clip, glyph, x, top + TheFont.ascent);
        x += glyph->advance;
    }
}

int DrawTextA(HDC dc, LPCSTR text, int length, RECT *rect, UINT format)
{
    if (!text || !rect || !LoadFont())
        return 0;
    if (length < 0)
        length = (int)strlen(text);
    int wrap = (format & DT_WORDBREAK) != 0, measure = (format & DT_CALCRECT) != 0;
    TesselinSurface *surface = measure ? NULL : SurfaceOfDC(dc);
    if (!measure && !surface)
        return 0;
    RECT clip = {0, 0, 0, 0};
    if (surface)
        ClipToSurface(surface, rect, &clip);
    int64_t maxWidth = (int64_t)rect->right - rect->left, widest = 0, lines = 0;
    int at = 0;
    do {
        int n = LineLength(text + at, length - at, wrap, maxWidth);
        int64_t width = WidthOf(text + at, n);
        if (width > widest)
            widest = width;
        if (surface)
            DrawLine(surface, &clip, text + at, n, rect->left, (int64_t)rect->top + lines * TheFont.lineHeight);
        lines++;
        at = SkipBreak(text, length, at + n);
    } while (at < length);
    int64_t height = lines * TheFont.lineHeight;
    if (measure) {
        rect->right = SaturateToInt(rect->left + widest);
        rect->bottom = SaturateToInt(rect->top + height);
    }
    return SaturateToInt(height);
}

// The font lives as long as the module: freed when the module is unloaded, so
// a host that loads and unloads the module repeatedly loses nothing.
__attribute__((destructor)) static void ReleaseFont(void)
{
    for (Glyph &glyph : TheFont.glyphs)
        free(glyph.bits);
    if (TheFont.ready > 0) {
        FT_Done_Face(TheFont.face);
        FT_Done_FreeType(TheFont.library);
    }
    memset(&TheFont, 0, sizeof TheFont);
}
