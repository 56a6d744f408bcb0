// Picture files on portable builds. JPEG goes through TurboJPEG, which can
// decode at 1/8 to 7/8 of the full size, so a photo drawn small is decoded
// small; PNG through libpng; BMP, GIF (its first frame) and the other kinds
// stb_image knows through stb_image. Loading reads the file whole and only its
// header; the pixels are decoded when the picture is drawn, once the size it
// is drawn at is known.
//
// Drawing resamples with stb_image_resize in linear light: a box filter (area
// averaging) along an axis where the picture is reduced, a triangle filter
// (bilinear) along one where it is enlarged. Only the part of the destination
// that lies on the surface is resampled, so a picture scaled far beyond the
// canvas costs no more than one that fits it. Pixels with alpha are blended
// over what the surface holds.
#include "platform/picture.h"
#include "platform/portable/bmp_rows.h"
#include "platform/portable/gif_rows.h"
#include "platform/portable/picture_bounds.h"
#include "platform/portable/png_rows.h"
#include "platform/portable/surface.h"

#include <png.h>
#include <stb_image.h>
#include <stb_image_resize.h>
#include <turbojpeg.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

enum { KIND_JPEG, KIND_PNG, KIND_OTHER };

struct PictureObject {
    int kind;
    int alpha; // nonzero when the picture has an alpha channel to blend
    unsigned char *bytes; // the whole file
    size_t size;
    int32_t width, height; // in pixels
};

// Decoded pixels: 3 (RGB) or 4 (RGBA) bytes each, rows packed.
typedef struct PixelImage {
    unsigned char *pixels;
    int width, height, channels;
    int fromStb; // freed by stb_image's own routine
} PixelImage;

// One axis of a drawing: the pixels the whole picture spans, the visible ones,
// and the part of the picture (0 to 1, upright) that those show.
typedef struct Span {
    int64_t length;
    int first, last; // visible pixels [first, last)
    int mirrored;
    float from, to;
} Span;

// Files and decoded images beyond these take the silent path. The file limit
// also keeps sizes within the int that stb_image takes.
static const size_t MaxFileBytes = (size_t)1 << 30;
static const int64_t MaxDecodedPixels = (int64_t)1 << 28;
// A picture drawn smaller than it is but decoded whole all the same (GIF,
// BMP, interlaced PNG) may take at most this much decoder memory: beyond it,
// it would cost far more than a photo of its size decoded reduced.
static const int64_t MaxWholeDecodeBytes = (int64_t)64 << 20;
// stb_image holds a GIF's screen three times while it decodes the first
// frame (the frame, the background and a byte per pixel of history).
static const int64_t GifDecodeBytesPerPixel = 9;

// Opened without blocking: opening a FIFO would otherwise wait for a writer
// forever, before the file's kind could be looked at. Only regular files are
// read; for them the flag changes nothing.
static FILE *OpenWithoutWaiting(const char *path)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return NULL;
    FILE *file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

static int ReadWholeFile(const char *path, unsigned char **bytes, size_t *size)
{
    FILE *file = OpenWithoutWaiting(path);
    if (!file)
        return 0;
    struct stat info;
    int ok = fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
             (size_t)info.st_size <= MaxFileBytes;
    unsigned char *data = ok ? (unsigned char *)malloc((size_t)info.st_size) : NULL;
    ok = data && fread(data, 1, (size_t)info.st_size, file) == (size_t)info.st_size;
    fclose(file);
    if (!ok) {
        free(data);
        return 0;
    }
    *bytes = data;
    *size = (size_t)info.st_size;
    return 1;
}

static int KindOf(const unsigned char *bytes, size_t size)
{
    static const unsigned char PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return KIND_JPEG;
    if (size >= 8 && memcmp(bytes, PngSignature, 8) == 0)
        return KIND_PNG;
    return KIND_OTHER;
}

static int IsGif(const PictureObject *picture)
{
    return picture->size >= 4 && memcmp(picture->bytes, "GIF8", 4) == 0;
}

static int ReadJpegHeader(PictureObject *picture)
{
    if (!JpegSizeWithinFile(picture->bytes, picture->size))
        return 0;
    tjhandle decoder = tjInitDecompress();
    int width = 0, height = 0, subsampling, colourspace;
    int ok = decoder && tjDecompressHeader3(decoder, picture->bytes, (unsigned long)picture->size, &width,
                                            &height, &subsampling, &colourspace) == 0;
    if (decoder)
        tjDestroy(decoder);
    picture->width = width;
    picture->height = height;
    picture->alpha = 0;
    return ok;
}

static int BeginPng(const PictureObject *picture, png_image *image)
{
    memset(image, 0, sizeof *image);
    image->version = PNG_IMAGE_VERSION;
    return png_image_begin_read_from_memory(image, picture->bytes, picture->size);
}

static int ReadPngHeader(PictureObject *picture)
{
    png_image image;
    if (!PngSizeWithinFile(picture->bytes, picture->size) || !BeginPng(picture, &image))
        return 0;
    int ok = image.width <= INT32_MAX && image.height <= INT32_MAX;
    picture->width = (int32_t)image.width;
    picture->height = (int32_t)image.height;
    picture->alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    png_image_free(&image);
    return ok;
}

static int ReadOtherHeader(PictureObject *picture)
{
    int width, height, components;
    if (!stbi_info_from_memory(picture->bytes, (int)picture->size, &width, &height, &components))
        return 0;
    picture->width = width;
    picture->height = height;
    // stb_image hands a top-down BMP's height over as stored, negative; the
    // header tells the size upright, and whether the file holds its rows.
    if (picture->size >= 2 && memcmp(picture->bytes, "BM", 2) == 0 &&
        !BmpSizeWithinFile(picture->bytes, picture->size, &picture->width, &picture->height))
        return 0;
    if (IsGif(picture) && !GifScreenWithinFile(picture->bytes, picture->size))
        return 0;
    picture->alpha = components == 2 || components == 4;
    return 1;
}

PictureObject *LoadPictureFile(const char *path)
{
    PictureObject *picture = (PictureObject *)calloc(1, sizeof(PictureObject));
    if (!path || !picture || !ReadWholeFile(path, &picture->bytes, &picture->size)) {
        free(picture);
        return NULL;
    }
    picture->kind = KindOf(picture->bytes, picture->size);
    int ok = picture->kind == KIND_JPEG  ? ReadJpegHeader(picture)
             : picture->kind == KIND_PNG ? ReadPngHeader(picture)
                                         : ReadOtherHeader(picture);
    if (!ok || picture->width <= 0 || picture->height <= 0) {
        ReleasePicture(picture);
        return NULL;
    }
    return picture;
}

int GetPictureSize(PictureObject *picture, int32_t *width, int32_t *height)
{
    if (!picture || !width || !height)
        return 0;
    *width = picture->width;
    *height = picture->height;
    return 1;
}

void ReleasePicture(PictureObject *picture)
{
    if (!picture)
        return;
    free(picture->bytes);
    free(picture);
}

static unsigned char *AllocatePixels(int64_t width, int64_t height, int channels)
{
    if (width <= 0 || height <= 0 || width * height > MaxDecodedPixels)
        return NULL;
    return (unsigned char *)malloc((size_t)(width * height * channels));
}

// The smallest of TurboJPEG's reduced sizes that still has at least the pixels
// the drawing needs along both axes; the full size when none is that large.
static tjscalingfactor JpegScaleFor(const PictureObject *picture, int64_t needWidth, int64_t needHeight)
{
    tjscalingfactor best = {1, 1};
    int count = 0;
    tjscalingfactor *factors = tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; i++) {
        tjscalingfactor f = factors[i];
        if (f.num >= f.denom || f.num * best.denom >= best.num * f.denom)
            continue;
        if (TJSCALED(picture->width, f) >= needWidth && TJSCALED(picture->height, f) >= needHeight)
            best = f;
    }
    return best;
}

static int DecodeJpeg(const PictureObject *picture, int64_t needWidth, int64_t needHeight, PixelImage *image)
{
    tjhandle decoder = tjInitDecompress();
    if (!decoder)
        return 0;
    tjscalingfactor scale = JpegScaleFor(picture, needWidth, needHeight);
    image->width = TJSCALED(picture->width, scale);
    image->height = TJSCALED(picture->height, scale);
    image->channels = 3;
    image->pixels = AllocatePixels(image->width, image->height, 3);
    // A warning (a truncated file, say) still leaves a usable picture.
    int ok = image->pixels &&
             (tjDecompress2(decoder, picture->bytes, (unsigned long)picture->size, image->pixels, image->width, 0,
                            image->height, TJPF_RGB, 0) == 0 ||
              tjGetErrorCode(decoder) == TJERR_WARNING);
    tjDestroy(decoder);
    return ok;
}

// The whole factor by which a side of size pixels can shrink and still keep
// at least need pixels.
static int ReductionFor(int32_t size, int64_t need)
{
    int64_t factor = need > 0 ? size / need : 1;
    return factor > 1 ? (int)(factor < INT32_MAX ? factor : INT32_MAX) : 1;
}

static int ReducedWithinLimit(const PictureObject *picture, int factorX, int factorY)
{
    int64_t width = (picture->width - 1) / factorX + 1, height = (picture->height - 1) / factorY + 1;
    return width * height <= MaxDecodedPixels;
}

static void TakeReduced(const ReducedPicture *reduced, PixelImage *image)
{
    image->pixels = reduced->pixels;
    image->width = reduced->width;
    image->height = reduced->height;
    image->channels = reduced->channels;
}

// Drawn at its size or larger, a picture is decoded whole.
enum { DRAWN_WHOLE = -1 };

typedef int (*RowDecoder)(const PictureObject *picture, int factorX, int factorY, ReducedPicture *reduced);

static int PngRows(const PictureObject *picture, int factorX, int factorY, ReducedPicture *reduced)
{
    return DecodePngReduced(picture->bytes, picture->size, picture->alpha, factorX, factorY, reduced);
}

static int GifRows(const PictureObject *picture, int factorX, int factorY, ReducedPicture *reduced)
{
    return DecodeGifReduced(picture->bytes, picture->size, factorX, factorY, reduced);
}

// A picture drawn smaller than it is, decoded row by row into a reduced copy.
// Returns ROWS_DONE, ROWS_FAILED, ROWS_INTERLACED (to be decoded whole,
// though drawn smaller) or DRAWN_WHOLE.
static int DecodeReducedRows(const PictureObject *picture, int64_t needWidth, int64_t needHeight,
                             RowDecoder decode, PixelImage *image)
{
    int factorX = ReductionFor(picture->width, needWidth), factorY = ReductionFor(picture->height, needHeight);
    if (factorX == 1 && factorY == 1)
        return DRAWN_WHOLE;
    if (!ReducedWithinLimit(picture, factorX, factorY))
        return ROWS_FAILED;
    ReducedPicture reduced;
    int result = decode(picture, factorX, factorY, &reduced);
    if (result == ROWS_DONE)
        TakeReduced(&reduced, image);
    return result;
}

static int DecodePng(const PictureObject *picture, PixelImage *image)
{
    png_image png;
    if (!BeginPng(picture, &png))
        return 0;
    png.format = picture->alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    image->width = (int)png.width;
    image->height = (int)png.height;
    image->channels = picture->alpha ? 4 : 3;
    image->pixels = AllocatePixels(image->width, image->height, image->channels);
    if (!image->pixels) {
        png_image_free(&png);
        return 0;
    }
    return png_image_finish_read(&png, NULL, image->pixels, 0, NULL) != 0;
}

static int WholeDecodeAffordable(const PictureObject *picture, int64_t bytesPerPixel)
{
    return (int64_t)picture->width * picture->height * bytesPerPixel <= MaxWholeDecodeBytes;
}

// A 24-bit BMP: straight from the file's bytes, reduced where drawn smaller.
static int DecodeBmp24(const PictureObject *picture, int64_t needWidth, int64_t needHeight, PixelImage *image)
{
    int factorX = ReductionFor(picture->width, needWidth), factorY = ReductionFor(picture->height, needHeight);
    ReducedPicture reduced;
    if (!ReducedWithinLimit(picture, factorX, factorY) ||
        !DecodeBmp24Reduced(picture->bytes, picture->size, factorX, factorY, &reduced))
        return 0;
    TakeReduced(&reduced, image);
    return 1;
}

static int DecodeOther(const PictureObject *picture, PixelImage *image)
{
    if (!WholeDecodeAffordable(picture, IsGif(picture) ? GifDecodeBytesPerPixel : 4))
        return 0;
    int components;
    image->channels = picture->alpha ? 4 : 3;
    image->pixels = stbi_load_from_memory(picture->bytes, (int)picture->size, &image->width, &image->height,
                                          &components, image->channels);
    image->fromStb = 1;
    return image->pixels != NULL;
}

static void FreePixels(PixelImage *image)
{
    if (image->fromStb)
        stbi_image_free(image->pixels);
    else
        free(image->pixels);
    image->pixels = NULL;
}

// Decodes the picture with at least needWidth x needHeight pixels where the
// format allows decoding reduced; otherwise at its full size.
static int DecodePicture(const PictureObject *picture, int64_t needWidth, int64_t needHeight, PixelImage *image)
{
    memset(image, 0, sizeof *image);
    int ok, rows;
    if (picture->kind == KIND_JPEG) {
        ok = DecodeJpeg(picture, needWidth, needHeight, image);
    } else if (picture->kind == KIND_PNG) {
        rows = DecodeReducedRows(picture, needWidth, needHeight, PngRows, image);
        ok = rows == ROWS_DONE || (rows == DRAWN_WHOLE && DecodePng(picture, image)) ||
             (rows == ROWS_INTERLACED && WholeDecodeAffordable(picture, 4) && DecodePng(picture, image));
    } else if (IsPlainBmp24(picture->bytes, picture->size)) {
        ok = DecodeBmp24(picture, needWidth, needHeight, image);
    } else if (IsGif(picture)) {
        rows = DecodeReducedRows(picture, needWidth, needHeight, GifRows, image);
        ok = rows == ROWS_DONE || (rows != ROWS_FAILED && DecodeOther(picture, image));
    } else {
        ok = DecodeOther(picture, image);
    }
    if (!ok)
        FreePixels(image);
    return ok;
}

static int VisibleSpan(int at, int extent, int limit, Span *span)
{
    int64_t start = extent < 0 ? (int64_t)at + extent : at;
    int64_t end = extent < 0 ? at : (int64_t)at + extent;
    int64_t first = start > 0 ? start : 0, last = end < limit ? end : limit;
    if (first >= last)
        return 0;
    span->length = end - start;
    span->first = (int)first;
    span->last = (int)last;
    span->mirrored = extent < 0;
    double from = (double)(first - start) / span->length, to = (double)(last - start) / span->length;
    span->from = (float)(span->mirrored ? 1.0 - to : from);
    span->to = (float)(span->mirrored ? 1.0 - from : to);
    return 1;
}

static stbir_filter FilterFor(int64_t drawn, int source)
{
    return drawn < source ? STBIR_FILTER_BOX : STBIR_FILTER_TRIANGLE;
}

static uint32_t Blend(uint32_t under, const unsigned char *over)
{
    unsigned alpha = over[3];
    if (alpha == 255)
        return RGB(over[0], over[1], over[2]);
    if (alpha == 0)
        return under & 0x00FFFFFFu;
    uint32_t result = 0;
    for (int c = 0; c < 3; c++) {
        unsigned below = (under >> (8 * c)) & 0xFF;
        result |= (uint32_t)((over[c] * alpha + below * (255 - alpha) + 127) / 255) << (8 * c);
    }
    return result;
}

// Writes the resampled visible part onto the surface, turned back where the
// drawing is mirrored.
static void PutPixels(TesselinSurface *surface, const Span *across, const Span *down, const unsigned char *pixels,
                      int channels)
{
    int width = across->last - across->first, height = down->last - down->first;
    for (int j = 0; j < height; j++) {
        int y = down->mirrored ? down->last - 1 - j : down->first + j;
        uint32_t *row = surface->pixels + (size_t)y * surface->stride;
        const unsigned char *from = pixels + (size_t)j * width * channels;
        for (int i = 0; i < width; i++, from += channels) {
            int x = across->mirrored ? across->last - 1 - i : across->first + i;
            row[x] = channels == 4 ? Blend(row[x], from) : RGB(from[0], from[1], from[2]);
        }
    }
}

void RenderPicture(HDC dc, PictureObject *picture, int x, int y, int cx, int cy)
{
    TesselinSurface *surface = SurfaceOfDC(dc);
    Span across, down;
    if (!surface || !picture || cx == 0 || cy == 0 || !VisibleSpan(x, cx, surface->width, &across) ||
        !VisibleSpan(y, cy, surface->height, &down))
        return;
    PixelImage image;
    if (!DecodePicture(picture, across.length, down.length, &image))
        return;
    int width = across.last - across.first, height = down.last - down.first;
    unsigned char *visible = (unsigned char *)malloc((size_t)width * height * image.channels);
    if (visible &&
        stbir_resize_region(image.pixels, image.width, image.height, 0, visible, width, height, 0, STBIR_TYPE_UINT8,
                            image.channels, image.channels == 4 ? 3 : STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                            STBIR_EDGE_CLAMP, FilterFor(across.length, image.width),
                            FilterFor(down.length, image.height), STBIR_COLORSPACE_SRGB, NULL, across.from, down.from,
                            across.to, down.to))
        PutPixels(surface, &across, &down, visible, image.channels);
    free(visible);
    FreePixels(&image);
}
