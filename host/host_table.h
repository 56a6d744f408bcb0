// The contract between Tesselin and the program that loads it: the host table,
// the canvas record, the view record and, on portable builds, the pixel surface
// behind a device context. Shared by the plug-in, the reference host and the
// test doubles, so it is plain C-compatible data only.
#ifndef TESSELIN_HOST_TABLE_H
#define TESSELIN_HOST_TABLE_H

#include <stdint.h>

#include "host/win_types.h"

#ifdef _WIN32
#define ZILTOR_CALL __cdecl
#else
#define ZILTOR_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The host table is an array of at least HOST_TABLE_SIZE entries; entry i sits
// at index i (byte offset 4 * i on 32-bit Windows). Each entry is called through
// the pointer type named after it below.
typedef void (ZILTOR_CALL *HostEntry)(void);
enum { HOST_TABLE_SIZE = 42 };

enum HostEntryIndex {
#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args) index = slot,
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM
};

// Canvas record: machine words; field 0 is the device context, fields 3 and 4
// the width and height in pixels. Fields 1 and 2 belong to the host.
typedef intptr_t CanvasRecord;
enum { CANVAS_FIELD_DC = 0, CANVAS_FIELD_WIDTH = 3, CANVAS_FIELD_HEIGHT = 4, CANVAS_FIELDS = 5 };

// View record: a 32-bit amount followed by a rectangle.
typedef struct ViewRecord {
    int32_t amount;
    RECT rect;
} ViewRecord;

#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args) typedef ret (ZILTOR_CALL *name##Entry) params;
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM

// The module's three entry points, as the host finds them by name.
typedef int (ZILTOR_CALL *ZiltorLoadFn)(const char **name, HostEntry *table);
typedef int (ZILTOR_CALL *ZiltorUnloadFn)(void);
typedef const char *(ZILTOR_CALL *ZiltorCommandFn)(int count, char **tokens);

// On portable builds a device context handed over by the host (field 0 of a
// canvas record) and the canvas window handle both point to one of these.
// Pixels are 0x00BBGGRR (COLORREF order), top row first, stride in pixels.
#define TESSELIN_SURFACE_MAGIC 0x46535354u
typedef struct TesselinSurface {
    uint32_t magic;
    int32_t width, height, stride;
    uint32_t *pixels;
} TesselinSurface;

#ifdef __cplusplus
}
#endif

#endif
