// Internal to the portable platform layer: the objects behind its handles.
#ifndef TESSELIN_PORTABLE_SURFACE_H
#define TESSELIN_PORTABLE_SURFACE_H

#include "host/host_table.h"
#include "platform/portable/gdi.h"

#define MEMORY_DC_MAGIC 0x434D4454u
#define BITMAP_MAGIC 0x504D4254u
#define BRUSH_MAGIC 0x53524254u

typedef struct PortableBrush {
    uint32_t magic;
    COLORREF colour;
} PortableBrush;

typedef struct PortableBitmap {
    uint32_t magic;
    TesselinSurface surface;
} PortableBitmap;

typedef struct MemoryDC {
    uint32_t magic;
    PortableBitmap *bitmap;
} MemoryDC;

// The surface a device context draws on, or none for a handle we do not know.
TesselinSurface *SurfaceOfDC(HDC dc);

// A 64-bit amount held to the int range.
int SaturateToInt(int64_t value);

// The part of rect that lies on the surface; false when nothing does.
bool ClipToSurface(const TesselinSurface *surface, const RECT *rect, RECT *clipped);

#endif
