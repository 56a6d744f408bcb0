#include "platform/portable/bmp_rows.h"
#include "platform/portable/picture_bounds.h"
#include "platform/portable/row_reducer.h"

#include <stdlib.h>
#include <string.h>

bool IsPlainBmp24(const unsigned char *bytes, size_t size)
{
    BmpRows rows;
    return BmpRowsWithinFile(bytes, size, &rows) && rows.bitsPerPixel == 24 && rows.compression == 0;
}

// Stored pixels are blue, green, red.
static void RowToRgb(const unsigned char *stored, int width, unsigned char *rgb)
{
    for (int x = 0; x < width; x++, stored += 3, rgb += 3) {
        rgb[0] = stored[2];
        rgb[1] = stored[1];
        rgb[2] = stored[0];
    }
}

// Rows in display order: the top row is stored first or last.
static const unsigned char *StoredRow(const unsigned char *bytes, const BmpRows *rows, int32_t y)
{
    uint64_t stored = rows->topDown ? (uint64_t)y : (uint64_t)(rows->height - 1 - y);
    return bytes + rows->offset + stored * rows->stride;
}

static bool DecodeBmp24Whole(const unsigned char *bytes, const BmpRows *rows, ReducedPicture *picture)
{
    size_t rowBytes = (size_t)rows->width * 3;
    picture->pixels = (unsigned char *)malloc(rowBytes * rows->height);
    if (!picture->pixels)
        return false;
    for (int32_t y = 0; y < rows->height; y++)
        RowToRgb(StoredRow(bytes, rows, y), rows->width, picture->pixels + rowBytes * y);
    picture->width = rows->width;
    picture->height = rows->height;
    picture->channels = 3;
    return true;
}

bool DecodeBmp24Reduced(const unsigned char *bytes, size_t size, int factorX, int factorY,
                        ReducedPicture *picture)
{
    memset(picture, 0, sizeof *picture);
    BmpRows rows;
    if (!BmpRowsWithinFile(bytes, size, &rows) || rows.bitsPerPixel != 24 || rows.compression != 0)
        return false;
    if (factorX == 1 && factorY == 1)
        return DecodeBmp24Whole(bytes, &rows, picture);
    RowReducer reducer;
    unsigned char *rgb = (unsigned char *)malloc((size_t)rows.width * 3);
    if (!rgb || !BeginRowReducer(&reducer, rows.width, rows.height, 3, factorX, factorY)) {
        free(rgb);
        return false;
    }
    for (int32_t y = 0; y < rows.height; y++) {
        RowToRgb(StoredRow(bytes, &rows, y), rows.width, rgb);
        AddSourceRow(&reducer, rgb);
    }
    free(rgb);
    picture->pixels = FinishRowReducer(&reducer);
    if (!picture->pixels) {
        AbandonRowReducer(&reducer);
        return false;
    }
    picture->width = reducer.outWidth;
    picture->height = reducer.outHeight;
    picture->channels = 3;
    return true;
}
