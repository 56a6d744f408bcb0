// 24-bit BMPs, the usual form of a photo saved as BMP, decoded one row at a
// time straight from the file's bytes into a copy reduced by whole factors
// (platform/portable/row_reducer.h): the picture is never held twice.
#ifndef TESSELIN_BMP_ROWS_H
#define TESSELIN_BMP_ROWS_H

#include "platform/portable/row_reducer.h"

#include <stddef.h>

// True when the file is a 24-bit BMP with plain rows, all in the file.
bool IsPlainBmp24(const unsigned char *bytes, size_t size);

// Decodes such a BMP to RGB reduced by factorX and factorY (1 for none),
// upright whichever order its rows are stored in.
bool DecodeBmp24Reduced(const unsigned char *bytes, size_t size, int factorX, int factorY,
                        ReducedPicture *picture);

#endif
