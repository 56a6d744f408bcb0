// The contract between Tesselin and the program that loads it: the host table,
// the canvas record, the view record and, on portable builds, the pixel surface
// behind a device context. Shared by the plug-in, the reference host and the
// test doubles, so it is plain C-compatible data only.
#ifndef TESSELIN_HOST_TABLE_H
#define TESSELIN_HOST_TABLE_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#define ZILTOR_CALL __cdecl
#else
#include "platform/portable/gdi.h"
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
    HOST_SHOW_CANVAS_WINDOW = 1,
    HOST_COPY_CANVAS = 2,
    HOST_GET_CANVAS_WINDOW = 3,
    HOST_MAKE_ANAGLYPH = 4,
    HOST_DESTROY_CANVAS = 7,
    HOST_CREATE_CANVAS = 8,
    HOST_SELECT_CANVAS = 9,
    HOST_SET_RIGHT_CANVAS = 12,
    HOST_HAS_CANVAS = 13,
    HOST_HAS_RIGHT_CANVAS = 14,
    HOST_REFRESH_CANVAS = 28,
    HOST_SET_VIEW_MARGIN = 30,
    HOST_GET_VIEW_RECT = 33,
    HOST_SET_PROJECTION = 37,
    HOST_SET_STEREO_VIEW = 38,
    HOST_FINISH_MODEL = 39,
    HOST_IS_MODELING = 40,
    HOST_STOP_RUN = 41
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

typedef int (ZILTOR_CALL *ShowCanvasWindowEntry)(void);
typedef int (ZILTOR_CALL *CopyCanvasEntry)(void);
typedef HWND (ZILTOR_CALL *GetCanvasWindowEntry)(void);
typedef int (ZILTOR_CALL *MakeAnaglyphEntry)(COLORREF left, COLORREF right);
typedef int (ZILTOR_CALL *DestroyCanvasEntry)(CanvasRecord *canvas);
typedef CanvasRecord *(ZILTOR_CALL *CreateCanvasEntry)(int width, int height);
typedef int (ZILTOR_CALL *SelectCanvasEntry)(CanvasRecord *canvas, int for3d);
typedef int (ZILTOR_CALL *SetRightCanvasEntry)(CanvasRecord *canvas);
typedef int (ZILTOR_CALL *HasCanvasEntry)(void);
typedef int (ZILTOR_CALL *HasRightCanvasEntry)(void);
typedef int (ZILTOR_CALL *RefreshCanvasEntry)(int zero, int what);
typedef int (ZILTOR_CALL *SetViewMarginEntry)(ViewRecord *view, int amount, int zero1, int zero2);
typedef int (ZILTOR_CALL *GetViewRectEntry)(ViewRecord *view, int zero);
typedef int (ZILTOR_CALL *SetProjectionEntry)(ViewRecord *view, int ortho, double a, double b, double c, double d);
typedef int (ZILTOR_CALL *SetStereoViewEntry)(ViewRecord *view, int stereo, double amount);
typedef int (ZILTOR_CALL *FinishModelEntry)(void);
typedef int (ZILTOR_CALL *IsModelingEntry)(void);
typedef int (ZILTOR_CALL *StopRunEntry)(const char *text, int zero1, int zero2);

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
