#include "platform/portable/gif_rows.h"
#include "platform/portable/row_reducer.h"

#include <gif_lib.h>

#include <stdlib.h>
#include <string.h>

typedef struct GifInput {
    const unsigned char *bytes;
    size_t size, at;
} GifInput;

static int ReadGifBytes(GifFileType *gif, GifByteType *into, int length)
{
    GifInput *input = (GifInput *)gif->UserData;
    size_t n = length > 0 ? (size_t)length : 0;
    if (n > input->size - input->at)
        n = input->size - input->at;
    memcpy(into, input->bytes + input->at, n);
    input->at += n;
    return (int)n;
}

// Reads records up to the first frame's descriptor; the transparent colour
// index comes from a graphic control extension before it (-1 for none).
static bool FindFirstFrame(GifFileType *gif, int *transparent)
{
    *transparent = -1;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK)
            return false;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_OK;
        if (type != EXTENSION_RECORD_TYPE)
            return false;
        int code;
        GifByteType *block;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 && (block[1] & 1))
            *transparent = block[4];
        while (block)
            if (DGifGetExtensionNext(gif, &block) != GIF_OK)
                return false;
    }
}

// Everything one decoding holds, freed together.
typedef struct GifRows {
    GifFileType *gif;
    GifPixelType *indexes;
    unsigned char *rgba;
    RowReducer reducer;
} GifRows;

// One screen row: clear, with the frame's pixels of row y over it.
static bool ScreenRow(GifRows *rows, int y, int transparent)
{
    GifFileType *gif = rows->gif;
    const GifImageDesc *frame = &gif->Image;
    const ColorMapObject *map = frame->ColorMap ? frame->ColorMap : gif->SColorMap;
    memset(rows->rgba, 0, (size_t)gif->SWidth * 4);
    if (y < frame->Top || y >= frame->Top + frame->Height)
        return true;
    if (DGifGetLine(gif, rows->indexes, frame->Width) != GIF_OK)
        return false;
    for (int i = 0; i < frame->Width && frame->Left + i < gif->SWidth; i++) {
        int index = rows->indexes[i];
        if (index == transparent || !map || index >= map->ColorCount)
            continue;
        unsigned char *out = rows->rgba + (size_t)(frame->Left + i) * 4;
        out[0] = map->Colors[index].Red;
        out[1] = map->Colors[index].Green;
        out[2] = map->Colors[index].Blue;
        out[3] = 255;
    }
    return true;
}

static int ReadScreen(GifRows *rows, int factorX, int factorY)
{
    GifFileType *gif = rows->gif;
    int transparent;
    if (!FindFirstFrame(gif, &transparent) || gif->SWidth <= 0 || gif->SHeight <= 0 || gif->Image.Width <= 0)
        return ROWS_FAILED;
    if (gif->Image.Interlace)
        return ROWS_INTERLACED;
    rows->indexes = (GifPixelType *)malloc((size_t)gif->Image.Width);
    rows->rgba = (unsigned char *)malloc((size_t)gif->SWidth * 4);
    if (!rows->indexes || !rows->rgba ||
        !BeginRowReducer(&rows->reducer, gif->SWidth, gif->SHeight, 4, factorX, factorY))
        return ROWS_FAILED;
    for (int y = 0; y < gif->SHeight; y++) {
        if (!ScreenRow(rows, y, transparent))
            return ROWS_FAILED;
        AddSourceRow(&rows->reducer, rows->rgba);
    }
    return ROWS_DONE;
}

int DecodeGifReduced(const unsigned char *bytes, size_t size, int factorX, int factorY, ReducedPicture *picture)
{
    memset(picture, 0, sizeof *picture);
    GifInput input = {bytes, size, 0};
    GifRows rows;
    memset(&rows, 0, sizeof rows);
    int error;
    rows.gif = DGifOpen(&input, ReadGifBytes, &error);
    int result = rows.gif ? ReadScreen(&rows, factorX, factorY) : ROWS_FAILED;
    if (rows.gif)
        DGifCloseFile(rows.gif, &error);
    free(rows.indexes);
    free(rows.rgba);
    unsigned char *pixels = result == ROWS_DONE ? FinishRowReducer(&rows.reducer) : NULL;
    if (!pixels) {
        AbandonRowReducer(&rows.reducer);
        return result == ROWS_DONE ? ROWS_FAILED : result;
    }
    picture->pixels = pixels;
    picture->width = rows.reducer.outWidth;
    picture->height = rows.reducer.outHeight;
    picture->channels = 4;
    return ROWS_DONE;
}
