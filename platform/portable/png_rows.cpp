#include "platform/portable/png_rows.h"
#include "platform/portable/row_reducer.h"

#include <png.h>

#include <stdlib.h>
#include <string.h>

typedef struct MemoryInput {
    const unsigned char *bytes;
    size_t size, at;
} MemoryInput;

static void ReadFromMemory(png_structp png, png_bytep data, png_size_t length)
{
    MemoryInput *input = (MemoryInput *)png_get_io_ptr(png);
    if (length > input->size - input->at)
        png_error(png, "truncated");
    memcpy(data, input->bytes + input->at, length);
    input->at += length;
}

// A picture that fails to decode takes the silent path: libpng's messages
// would only reach the host's standard error.
static void SilentError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void SilentWarning(png_structp, png_const_charp) {}

// Everything one decoding holds, so that a failure at any point frees it.
typedef struct PngRows {
    png_structp png;
    png_infop info;
    unsigned char *row;
    RowReducer reducer;
    int result; // ROWS_FAILED until the rows are read
} PngRows;

// Any colour type and depth to 8-bit RGB, with alpha when the picture has it.
static void AskForRgb(png_structp png, int alpha)
{
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    if (!alpha)
        png_set_strip_alpha(png);
}

// The rows, one at a time; the caller's setjmp catches libpng's errors.
static int ReadRows(PngRows *rows, int alpha, int factorX, int factorY)
{
    png_read_info(rows->png, rows->info);
    if (png_get_interlace_type(rows->png, rows->info) != PNG_INTERLACE_NONE)
        return ROWS_INTERLACED;
    AskForRgb(rows->png, alpha);
    png_read_update_info(rows->png, rows->info);
    int width = (int)png_get_image_width(rows->png, rows->info);
    int height = (int)png_get_image_height(rows->png, rows->info);
    int channels = png_get_channels(rows->png, rows->info);
    if (channels != (alpha ? 4 : 3) || png_get_rowbytes(rows->png, rows->info) != (size_t)width * channels)
        return ROWS_FAILED;
    rows->row = (unsigned char *)malloc((size_t)width * channels);
    if (!rows->row || !BeginRowReducer(&rows->reducer, width, height, channels, factorX, factorY))
        return ROWS_FAILED;
    for (int y = 0; y < height; y++) {
        png_read_row(rows->png, rows->row, NULL);
        AddSourceRow(&rows->reducer, rows->row);
    }
    return ROWS_DONE;
}

int DecodePngReduced(const unsigned char *bytes, size_t size, int alpha, int factorX, int factorY,
                     ReducedPicture *picture)
{
    memset(picture, 0, sizeof *picture);
    MemoryInput input = {bytes, size, 0};
    // On the heap: what ReadRows changes must survive libpng's longjmp, and
    // only memory reached through a pointer set before setjmp is sure to.
    PngRows *rows = (PngRows *)calloc(1, sizeof(PngRows));
    if (!rows)
        return ROWS_FAILED;
    rows->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, SilentError, SilentWarning);
    rows->info = rows->png ? png_create_info_struct(rows->png) : NULL;
    int result = ROWS_FAILED;
    if (rows->info) {
        png_set_read_fn(rows->png, &input, ReadFromMemory);
        if (setjmp(png_jmpbuf(rows->png)) == 0)
            rows->result = ReadRows(rows, alpha, factorX, factorY);
        result = rows->result;
    }
    png_destroy_read_struct(&rows->png, &rows->info, NULL);
    free(rows->row);
    unsigned char *pixels = result == ROWS_DONE ? FinishRowReducer(&rows->reducer) : NULL;
    if (pixels) {
        picture->pixels = pixels;
        picture->width = rows->reducer.outWidth;
        picture->height = rows->reducer.outHeight;
        picture->channels = rows->reducer.channels;
    } else {
        AbandonRowReducer(&rows->reducer);
        if (result == ROWS_DONE)
            result = ROWS_FAILED;
    }
    free(rows);
    return result;
}
