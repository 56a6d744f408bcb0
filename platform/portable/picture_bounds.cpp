#include "platform/portable/picture_bounds.h"

#include <string.h>

static const uint64_t MostGifPixelsPerByte = 4096 * 8 / 12;
static const uint64_t MostDeflateExpansion = 1032;
static const uint64_t MostJpegPixelsPerByte = 64 * 8;

static uint32_t Little(const unsigned char *p, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; i--)
        value = value << 8 | p[i];
    return value;
}

static uint32_t Big32(const unsigned char *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// The header fields the row layout depends on.
typedef struct BmpLayout {
    uint32_t offset; // where the rows start
    int64_t width, height; // height negative for top-down rows
    uint32_t bitsPerPixel, compression;
} BmpLayout;

static bool ReadBmpLayout(const unsigned char *bytes, size_t size, BmpLayout *layout)
{
    if (size < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    layout->offset = Little(bytes + 10, 4);
    uint32_t headerSize = Little(bytes + 14, 4);
    if (headerSize == 12) {
        layout->width = Little(bytes + 18, 2);
        layout->height = (int16_t)Little(bytes + 20, 2);
        layout->bitsPerPixel = Little(bytes + 24, 2);
        layout->compression = 0;
        return true;
    }
    if (size < 34)
        return false;
    layout->width = (int32_t)Little(bytes + 18, 4);
    layout->height = (int32_t)Little(bytes + 22, 4);
    layout->bitsPerPixel = Little(bytes + 28, 2);
    layout->compression = Little(bytes + 30, 4);
    return true;
}

bool BmpRowsWithinFile(const unsigned char *bytes, size_t size, BmpRows *rows)
{
    BmpLayout bmp;
    // Run-length and embedded compressions are not decoded here; plain rows
    // (0) and bit fields (3) take a fixed number of bytes per row.
    if (!ReadBmpLayout(bytes, size, &bmp) || (bmp.compression != 0 && bmp.compression != 3))
        return false;
    int64_t height = bmp.height < 0 ? -bmp.height : bmp.height;
    if (bmp.width <= 0 || height <= 0 || height > INT32_MAX || bmp.bitsPerPixel == 0 || bmp.bitsPerPixel > 32)
        return false;
    uint64_t rowBits = (uint64_t)bmp.width * bmp.bitsPerPixel;
    uint64_t stride = (rowBits + 31) / 32 * 4;
    // The padding after the last row is often left out; its pixels are not.
    uint64_t needed = bmp.offset + stride * (uint64_t)(height - 1) + (rowBits + 7) / 8;
    if (needed > size)
        return false;
    rows->offset = bmp.offset;
    rows->stride = stride;
    rows->width = (int32_t)bmp.width;
    rows->height = (int32_t)height;
    rows->topDown = bmp.height < 0;
    rows->bitsPerPixel = bmp.bitsPerPixel;
    rows->compression = bmp.compression;
    return true;
}

bool BmpSizeWithinFile(const unsigned char *bytes, size_t size, int32_t *width, int32_t *height)
{
    BmpRows rows;
    if (!BmpRowsWithinFile(bytes, size, &rows))
        return false;
    *width = rows.width;
    *height = rows.height;
    return true;
}

bool GifScreenWithinFile(const unsigned char *bytes, size_t size)
{
    if (size < 10 || memcmp(bytes, "GIF8", 4) != 0)
        return false;
    uint64_t pixels = (uint64_t)Little(bytes + 6, 2) * Little(bytes + 8, 2);
    return pixels <= (uint64_t)size * MostGifPixelsPerByte;
}

// Samples per pixel of each PNG colour type; 0 for a type that does not exist.
static uint64_t PngChannels(unsigned colourType)
{
    switch (colourType) {
    case 0: return 1; // grey
    case 2: return 3; // RGB
    case 3: return 1; // palette index
    case 4: return 2; // grey and alpha
    case 6: return 4; // RGBA
    default: return 0;
    }
}

bool PngSizeWithinFile(const unsigned char *bytes, size_t size)
{
    // Signature, then the IHDR chunk: length, "IHDR", width, height, bit
    // depth, colour type.
    if (size < 26 || memcmp(bytes + 12, "IHDR", 4) != 0)
        return false;
    uint64_t width = Big32(bytes + 16), height = Big32(bytes + 20);
    uint64_t bits = width * bytes[24] * PngChannels(bytes[25]);
    // Each row: a filter byte and its samples (an interlaced file has more).
    uint64_t filtered = height * (1 + (bits + 7) / 8);
    return bits > 0 && filtered / MostDeflateExpansion <= size;
}

// The frame header's marker (SOF0 to SOF15, less DHT, JPG and DAC), found by
// walking the segments from the start; 0 when there is none.
static size_t FindJpegFrame(const unsigned char *bytes, size_t size)
{
    size_t at = 2;
    while (at + 4 <= size && bytes[at] == 0xFF) {
        unsigned marker = bytes[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return at;
        if (marker == 0xFF) { // fill byte
            at++;
            continue;
        }
        at += 2 + ((size_t)bytes[at + 2] << 8 | bytes[at + 3]);
    }
    return 0;
}

bool JpegSizeWithinFile(const unsigned char *bytes, size_t size)
{
    size_t frame = FindJpegFrame(bytes, size);
    if (frame == 0 || frame + 9 > size)
        return false;
    unsigned marker = bytes[frame + 1];
    if (marker >= 0xC9) // arithmetic coding
        return true;
    uint64_t height = (uint64_t)bytes[frame + 5] << 8 | bytes[frame + 6];
    uint64_t width = (uint64_t)bytes[frame + 7] << 8 | bytes[frame + 8];
    return width * height <= (uint64_t)size * MostJpegPixelsPerByte;
}
