// A GIF's first frame decoded one row at a time with giflib into a copy of
// its screen reduced by whole factors (platform/portable/row_reducer.h), so a
// large GIF drawn small never holds its whole screen. Pixels outside the
// frame and of the transparent colour are clear, as the first frame shows.
#ifndef TESSELIN_GIF_ROWS_H
#define TESSELIN_GIF_ROWS_H

#include "platform/portable/row_reducer.h"

#include <stddef.h>

// ROWS_DONE with RGBA pixels, ROWS_FAILED, or ROWS_INTERLACED for
// a frame stored interlaced (its rows come in four passes), which is to be
// decoded whole instead.
int DecodeGifReduced(const unsigned char *bytes, size_t size, int factorX, int factorY, ReducedPicture *picture);

#endif
