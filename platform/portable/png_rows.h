// PNG files decoded one row at a time into a picture reduced by whole factors
// (platform/portable/row_reducer.h), so a large PNG drawn small needs memory
// for the reduced picture and one row, not for the whole picture.
#ifndef TESSELIN_PNG_ROWS_H
#define TESSELIN_PNG_ROWS_H

#include "platform/portable/row_reducer.h"

#include <stddef.h>

// Decodes the PNG in bytes to RGB (RGBA with alpha) reduced by factorX and
// factorY. An interlaced file is not decoded (its rows come in seven passes,
// so the whole picture must be held): ROWS_INTERLACED says so.
int DecodePngReduced(const unsigned char *bytes, size_t size, int alpha, int factorX, int factorY,
                     ReducedPicture *picture);

#endif
