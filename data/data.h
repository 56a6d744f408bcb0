// Data-driven drawing: point arrays, polylines, raster text and graduations.
#ifndef TESSELIN_DATA_H
#define TESSELIN_DATA_H

#include <stdint.h>
#include <stdio.h>

// Commands (point_arrays.cpp, raster_text.cpp, graduations.cpp). line and dots
// share CommandDrawArrays, which tells them apart by the keyword.
const char *CommandArray(int count, char **tokens);
const char *CommandArrayFile(int count, char **tokens);
const char *CommandDrawArrays(int count, char **tokens);
const char *CommandText(int count, char **tokens);
const char *CommandHgrad(int count, char **tokens);
const char *CommandVgrad(int count, char **tokens);

// "Error! Not enough memory": a block the data commands need cannot be had.
const char *NotEnoughMemory(void);

// Number files (number_file.cpp). Numbers are separated by CR, LF, space or
// NUL; every other byte belongs to a token, which converts as atof would.
// Selects every stride-th token from index start (a stride of 0, or a start
// that is negative or not below the stride's magnitude, selects nothing).
// With a destination, stores at most capacity selected numbers there and stops;
// without one, only counts. Returns the number selected (stored), or
// NUMBER_READ_NO_MEMORY when memory for reading could not be had, or
// NUMBER_READ_FAILED when reading the file failed (a directory, an I/O error).
enum { NUMBER_CHUNK_BYTES = 1 << 20 };
const int64_t NUMBER_READ_NO_MEMORY = -1, NUMBER_READ_FAILED = -2;
int64_t ReadSelectedNumbers(float *destination, int64_t capacity, FILE *file, int stride, int start);
// The same, reading the file in chunks of the given size (at least 1).
int64_t ReadSelectedNumbersInChunks(float *destination, int64_t capacity, FILE *file, int stride,
                                    int start, size_t chunkBytes);
// One NUL-terminated token as (float)atof(token) gives it.
float ConvertNumberToken(const char *token);

// Raster text and graduations.
void RasterizeText(const char *text, float ax, float ay, float depth);
int DrawGraduations(int count, char **tokens, float *colour, int vertical);

#endif
