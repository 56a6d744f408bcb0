#include "platform/portable/row_reducer.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

// Fine enough that every 8-bit value survives the way to linear and back.
enum { LINEAR_STEPS = 16384 };

static float SrgbToLinear[256];
static unsigned char LinearToSrgb[LINEAR_STEPS + 1];

static void MakeTables(void)
{
    static bool made = false;
    if (made)
        return;
    for (int i = 0; i < 256; i++) {
        double c = i / 255.0;
        SrgbToLinear[i] = (float)(c <= 0.04045 ? c / 12.92 : pow((c + 0.055) / 1.055, 2.4));
    }
    for (int i = 0; i <= LINEAR_STEPS; i++) {
        double l = (double)i / LINEAR_STEPS;
        double c = l <= 0.0031308 ? l * 12.92 : 1.055 * pow(l, 1 / 2.4) - 0.055;
        LinearToSrgb[i] = (unsigned char)(c * 255.0 + 0.5);
    }
    made = true;
}

static unsigned char ToSrgb(float linear)
{
    if (!(linear > 0.0f))
        return 0;
    if (linear >= 1.0f)
        return 255;
    return LinearToSrgb[(int)(linear * LINEAR_STEPS + 0.5f)];
}

bool BeginRowReducer(RowReducer *reducer, int sourceWidth, int sourceHeight, int channels, int factorX,
                     int factorY)
{
    memset(reducer, 0, sizeof *reducer);
    if (sourceWidth <= 0 || sourceHeight <= 0 || factorX <= 0 || factorY <= 0 || channels < 1 || channels > 4)
        return false;
    MakeTables();
    reducer->sourceWidth = sourceWidth;
    reducer->channels = channels;
    reducer->factorX = factorX;
    reducer->factorY = factorY;
    reducer->outWidth = (sourceWidth - 1) / factorX + 1;
    reducer->outHeight = (sourceHeight - 1) / factorY + 1;
    size_t slots = (size_t)reducer->outWidth * (channels + 1);
    reducer->sums = (float *)calloc(slots, sizeof(float));
    reducer->pixels = (unsigned char *)malloc((size_t)reducer->outWidth * reducer->outHeight * channels);
    if (!reducer->sums || !reducer->pixels) {
        AbandonRowReducer(reducer);
        return false;
    }
    return true;
}

// With alpha (2 or 4 channels) the last channel weights the others.
static int HasAlpha(const RowReducer *reducer)
{
    return reducer->channels == 2 || reducer->channels == 4;
}

static void EmitBlock(RowReducer *reducer);

void AddSourceRow(RowReducer *reducer, const unsigned char *row)
{
    if (reducer->outRow >= reducer->outHeight)
        return;
    int channels = reducer->channels, colours = HasAlpha(reducer) ? channels - 1 : channels;
    for (int x = 0; x < reducer->sourceWidth; x++) {
        const unsigned char *pixel = row + (size_t)x * channels;
        float *sum = reducer->sums + (size_t)(x / reducer->factorX) * (channels + 1);
        float weight = HasAlpha(reducer) ? pixel[channels - 1] / 255.0f : 1.0f;
        for (int c = 0; c < colours; c++)
            sum[c] += SrgbToLinear[pixel[c]] * weight;
        if (HasAlpha(reducer))
            sum[channels - 1] += weight;
        sum[channels] += 1.0f;
    }
    if (++reducer->rowsInBlock == reducer->factorY)
        EmitBlock(reducer);
}

// Turns the sums of the current block into one output row and clears them.
static void EmitBlock(RowReducer *reducer)
{
    int channels = reducer->channels, colours = HasAlpha(reducer) ? channels - 1 : channels;
    unsigned char *out = reducer->pixels + (size_t)reducer->outRow * reducer->outWidth * channels;
    for (int x = 0; x < reducer->outWidth; x++, out += channels) {
        float *sum = reducer->sums + (size_t)x * (channels + 1);
        float count = sum[channels], weight = HasAlpha(reducer) ? sum[channels - 1] : count;
        for (int c = 0; c < colours; c++)
            out[c] = weight > 0.0f ? ToSrgb(sum[c] / weight) : 0;
        if (HasAlpha(reducer))
            out[channels - 1] = (unsigned char)(count > 0.0f ? weight / count * 255.0f + 0.5f : 0);
    }
    memset(reducer->sums, 0, (size_t)reducer->outWidth * (channels + 1) * sizeof(float));
    reducer->rowsInBlock = 0;
    reducer->outRow++;
}

unsigned char *FinishRowReducer(RowReducer *reducer)
{
    if (reducer->rowsInBlock > 0 && reducer->outRow < reducer->outHeight)
        EmitBlock(reducer);
    if (reducer->outRow < reducer->outHeight)
        return NULL; // fewer rows came than the picture has
    free(reducer->sums);
    reducer->sums = NULL;
    return reducer->pixels;
}

void AbandonRowReducer(RowReducer *reducer)
{
    free(reducer->sums);
    free(reducer->pixels);
    reducer->sums = NULL;
    reducer->pixels = NULL;
}
