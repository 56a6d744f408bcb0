// What a picture file's bytes can hold, worked out from its header before any
// pixel is decoded: a file that declares more pixels than its bytes could
// fill, even at the best compression its format allows, is refused, so a tiny
// file never costs the memory of a huge picture.
#ifndef TESSELIN_PICTURE_BOUNDS_H
#define TESSELIN_PICTURE_BOUNDS_H

#include <stddef.h>
#include <stdint.h>

// Where a BMP's rows lie, from its header.
typedef struct BmpRows {
    uint32_t offset; // where the first stored row starts
    uint64_t stride; // bytes from one stored row to the next
    int32_t width, height; // height upright
    int topDown; // rows stored top row first (a negative height in the header)
    uint32_t bitsPerPixel, compression;
} BmpRows;

// The layout of a BMP with plain rows (no run-length or embedded compression);
// false when the header is not one the decoder knows or the file is too short
// for the rows it declares.
bool BmpRowsWithinFile(const unsigned char *bytes, size_t size, BmpRows *rows);

// The same, for the size alone: height upright.
bool BmpSizeWithinFile(const unsigned char *bytes, size_t size, int32_t *width, int32_t *height);

// False when the GIF's logical screen has more pixels than its bytes could
// describe: LZW codes are at least 12 bits once the table is full, and one
// code stands for at most 4096 pixels.
bool GifScreenWithinFile(const unsigned char *bytes, size_t size);

// False when a PNG declares more filtered image bytes than its compressed
// bytes could inflate to (deflate expands at most 1032 to 1).
bool PngSizeWithinFile(const unsigned char *bytes, size_t size);

// False when a Huffman-coded JPEG declares more pixels than its bytes could
// describe: every 8 x 8 block costs at least one bit for its DC value.
// Arithmetic-coded files have no such floor and pass.
bool JpegSizeWithinFile(const unsigned char *bytes, size_t size);

#endif
