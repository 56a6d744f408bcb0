// The plug-in's calls into the host table, one small function per entry, so
// that command code reads as the host operations it performs.
#ifndef TESSELIN_HOST_CALLS_H
#define TESSELIN_HOST_CALLS_H

#include "host/host_table.h"

extern HostEntry *HostTable;

#define HOST_ENTRY(type, index) ((type)HostTable[index])

static inline int ShowCanvasWindow(void) { return HOST_ENTRY(ShowCanvasWindowEntry, HOST_SHOW_CANVAS_WINDOW)(); }
static inline int CopyCanvas(void) { return HOST_ENTRY(CopyCanvasEntry, HOST_COPY_CANVAS)(); }
static inline HWND GetCanvasWindow(void) { return HOST_ENTRY(GetCanvasWindowEntry, HOST_GET_CANVAS_WINDOW)(); }
static inline int MakeAnaglyph(COLORREF left, COLORREF right) { return HOST_ENTRY(MakeAnaglyphEntry, HOST_MAKE_ANAGLYPH)(left, right); }
static inline int DestroyCanvas(CanvasRecord *canvas) { return HOST_ENTRY(DestroyCanvasEntry, HOST_DESTROY_CANVAS)(canvas); }
static inline CanvasRecord *CreateCanvas(int width, int height) { return HOST_ENTRY(CreateCanvasEntry, HOST_CREATE_CANVAS)(width, height); }
static inline int SelectCanvas(CanvasRecord *canvas, int for3d) { return HOST_ENTRY(SelectCanvasEntry, HOST_SELECT_CANVAS)(canvas, for3d); }
static inline int SetRightCanvas(CanvasRecord *canvas) { return HOST_ENTRY(SetRightCanvasEntry, HOST_SET_RIGHT_CANVAS)(canvas); }
static inline int HasCanvas(void) { return HOST_ENTRY(HasCanvasEntry, HOST_HAS_CANVAS)(); }
static inline int HasRightCanvas(void) { return HOST_ENTRY(HasRightCanvasEntry, HOST_HAS_RIGHT_CANVAS)(); }
static inline int RefreshCanvas(int zero, int what) { return HOST_ENTRY(RefreshCanvasEntry, HOST_REFRESH_CANVAS)(zero, what); }
static inline int SetViewMargin(ViewRecord *view, int amount) { return HOST_ENTRY(SetViewMarginEntry, HOST_SET_VIEW_MARGIN)(view, amount, 0, 0); }
static inline int GetViewRect(ViewRecord *view) { return HOST_ENTRY(GetViewRectEntry, HOST_GET_VIEW_RECT)(view, 0); }
static inline int SetProjection(ViewRecord *view, int ortho, double a, double b, double c, double d) { return HOST_ENTRY(SetProjectionEntry, HOST_SET_PROJECTION)(view, ortho, a, b, c, d); }
static inline int SetStereoView(ViewRecord *view, int stereo, double amount) { return HOST_ENTRY(SetStereoViewEntry, HOST_SET_STEREO_VIEW)(view, stereo, amount); }
static inline int FinishModel(void) { return HOST_ENTRY(FinishModelEntry, HOST_FINISH_MODEL)(); }
static inline int IsModeling(void) { return HOST_ENTRY(IsModelingEntry, HOST_IS_MODELING)(); }
static inline int StopRun(const char *text) { return HOST_ENTRY(StopRunEntry, HOST_STOP_RUN)(text, 0, 0); }

#undef HOST_ENTRY
#endif
