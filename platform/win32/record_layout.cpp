// The records the host shares with the module have a fixed binary layout on
// 32-bit Windows: host table entries of 4 bytes at offset 4 * i, a canvas
// record of 4-byte fields (device context at 0, width at 12, height at 16) and
// a 20-byte view record (amount at 0, RECT at 4). A compiler or header change
// that moves any of them fails the build here instead of in a user's host.
// On 64-bit Windows the same records are made of pointer-sized entries and
// fields, which the Wine test host hands over.
#include "host/host_table.h"

#include <stddef.h>

static_assert(sizeof(HostEntry) == sizeof(void *), "a host table entry is one pointer");
static_assert(sizeof(CanvasRecord) == sizeof(void *), "a canvas record field is one machine word");
static_assert(offsetof(ViewRecord, amount) == 0, "the view amount comes first");
static_assert(offsetof(ViewRecord, rect) == 4, "the view RECT follows the 32-bit amount");
static_assert(sizeof(ViewRecord) == 20, "a view record is the amount and four 32-bit edges");
static_assert(offsetof(RECT, left) == 0 && offsetof(RECT, top) == 4 && offsetof(RECT, right) == 8 &&
                  offsetof(RECT, bottom) == 12,
              "RECT is four 32-bit edges");

#if !defined(_WIN64)
static_assert(sizeof(HostEntry) == 4, "host table entries sit at 4 * index");
static_assert(sizeof(CanvasRecord) * CANVAS_FIELD_DC == 0, "the device context is at offset 0");
static_assert(sizeof(CanvasRecord) * CANVAS_FIELD_WIDTH == 12, "the width is at offset 12");
static_assert(sizeof(CanvasRecord) * CANVAS_FIELD_HEIGHT == 16, "the height is at offset 16");
static_assert(sizeof(HDC) == 4 && sizeof(COLORREF) == 4, "handles and colours are 32-bit");
#endif
