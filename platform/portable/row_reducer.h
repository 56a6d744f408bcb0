// Shrinks a picture by whole factors while its rows arrive one at a time, so a
// picture drawn much smaller than it is never exists at its full size in
// memory. Each output pixel is the average of a block of factorX x factorY
// source pixels (fewer at the right and bottom edges), taken in linear light;
// with alpha, colours are weighted by their coverage.
#ifndef TESSELIN_ROW_REDUCER_H
#define TESSELIN_ROW_REDUCER_H

#include <stddef.h>

// A picture decoded row by row into a reduced copy.
typedef struct ReducedPicture {
    unsigned char *pixels; // width x height x channels, freed with free
    int width, height, channels;
} ReducedPicture;

// What a row-by-row decoder answers: done, failed, or that the file stores
// its rows interlaced and is to be decoded whole instead.
enum { ROWS_FAILED = 0, ROWS_DONE = 1, ROWS_INTERLACED = 2 };

typedef struct RowReducer {
    int sourceWidth, channels, factorX, factorY;
    int outWidth, outHeight;
    float *sums;          // outWidth x (channels + 1): weighted sums, then the weight
    int rowsInBlock, outRow;
    unsigned char *pixels; // outWidth x outHeight x channels, 8-bit sRGB
} RowReducer;

// False when memory cannot be had; nothing is then held.
bool BeginRowReducer(RowReducer *reducer, int sourceWidth, int sourceHeight, int channels, int factorX,
                     int factorY);
// One source row of sourceWidth x channels bytes, top row first.
void AddSourceRow(RowReducer *reducer, const unsigned char *row);
// Writes the last, partial block of rows. The pixels then belong to the
// caller (free); the sums are freed.
unsigned char *FinishRowReducer(RowReducer *reducer);
// Frees everything the reducer holds, for a decoding that failed.
void AbandonRowReducer(RowReducer *reducer);

#endif
