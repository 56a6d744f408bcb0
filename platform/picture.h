// Picture files, as the picture command needs them from the platform: load a
// file, ask its size, draw it stretched into a rectangle of a device context,
// let it go. On Windows the system's picture loader stands behind these four
// calls; on other systems platform/portable/picture.cpp does, with image
// libraries. The command's own arithmetic (fit, scale, offset) stays outside.
#ifndef TESSELIN_PLATFORM_PICTURE_H
#define TESSELIN_PLATFORM_PICTURE_H

#include "host/host_table.h"
#include "platform/windows_calls.h"

typedef struct PictureObject PictureObject;

// The picture in the file at path (ANSI text, MAX_PATH at most), or none when
// the file is missing, unreadable or of a kind the loader does not know.
PictureObject *LoadPictureFile(const char *path);

// Width and height in the loader's own units (pixels on portable builds,
// HIMETRIC with the Windows loader): only their ratio and their use as the
// source extent of RenderPicture matter. Returns 0 when the loader cannot tell.
int GetPictureSize(PictureObject *picture, int32_t *width, int32_t *height);

// Draws the whole picture upright, stretched to cx by cy pixels from (x, y),
// clipped to the device context's surface. A negative extent spans the pixels
// from x + cx up to x and mirrors the picture in that direction; a zero extent
// draws nothing. Failures draw nothing and are not reported.
void RenderPicture(HDC dc, PictureObject *picture, int x, int y, int cx, int cy);

void ReleasePicture(PictureObject *picture);

#endif
