// The Windows type names the host contract is written in (host/host_table.h),
// for builds that are not Windows: a colour, a window handle and a rectangle,
// laid out as Windows lays them out. On Windows they come from <windows.h>.
// The plug-in's portable calls (platform/portable/gdi.h) build on these.
#ifndef TESSELIN_HOST_WIN_TYPES_H
#define TESSELIN_HOST_WIN_TYPES_H

#ifdef _WIN32
#include <windows.h>
#else
#include <stdint.h>

typedef uint32_t COLORREF;
typedef struct HWND__ *HWND;

typedef struct tagRECT {
    int32_t left, top, right, bottom;
} RECT;
#endif

#endif
