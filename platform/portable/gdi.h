// The small subset of the Windows GDI, USER, shell and kernel calls that the
// plug-in uses, for builds that are not Windows. The command code calls these
// by their Windows names, so it reads the same on both platforms.
//
// Device contexts: a handle from the host points to a TesselinSurface
// (host/host_table.h); a handle from CreateCompatibleDC is a memory context of
// our own that draws on the bitmap selected into it. One fixed font serves all
// text: measured and drawn alike, pure black glyph pixels, no anti-aliasing.
#ifndef TESSELIN_PORTABLE_GDI_H
#define TESSELIN_PORTABLE_GDI_H

#include "host/win_types.h"

#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef const char *LPCSTR;
typedef char *LPSTR;
typedef struct HDC__ *HDC;
typedef struct HGDIOBJ__ *HGDIOBJ;
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HBITMAP;
typedef struct HINSTANCE__ *HINSTANCE;

#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define DT_TOP 0x0
#define DT_LEFT 0x0
#define DT_WORDBREAK 0x10
#define DT_CALCRECT 0x400
#define SW_SHOWNORMAL 1
#define CLR_INVALID 0xFFFFFFFFu
#define MAX_PATH 260
#define RGB(r, g, b) ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))

// Rectangles
BOOL CopyRect(RECT *dst, const RECT *src);
BOOL InflateRect(RECT *rect, int dx, int dy);
BOOL OffsetRect(RECT *rect, int dx, int dy);

// Device contexts, objects and pixels
HGDIOBJ GetStockObject(int which);
int FillRect(HDC dc, const RECT *rect, HBRUSH brush);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
COLORREF GetPixel(HDC dc, int x, int y);
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

// Text in the fixed font: formats 0, DT_WORDBREAK and DT_CALCRECT; a length of
// -1 means a NUL-terminated text. Returns the height of the text in pixels.
int DrawTextA(HDC dc, LPCSTR text, int length, RECT *rect, UINT format);

// Kernel and shell
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, int show);

// Not a Windows call: the installed document named like file (its last path
// part), in the documents folder of an installation whose module is module
// (PREFIX/lib/tesselin/NAME -> PREFIX/share/doc/tesselin/). Writes its path to
// found and returns 1 when it is readable; 0 otherwise.
int InstalledDocument(const char *module, const char *file, char *found, size_t size);

#endif
