// The array commands: array and arrayf fill the point-array store slot by
// slot; line and dots draw the arrays as x, y (and z) and release them.
#include "plugin/tesselin.h"
#include "data/data.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

// No message text of the table fits a block that cannot be allocated, so this
// one answers for the array blocks, the file buffer and long text lines.
const char *NotEnoughMemory(void)
{
    return MakeError(MessageBuffer, NotEnoughMemoryText);
}

static const char *Refuse(int index)
{
    return MakeError(MessageBuffer, MessageTexts[index]);
}

// The store is made by the canvas command; a host that reports modelling
// before any canvas command gets it made here, on demand.
static int StoreReady(void)
{
    if (!ArraySlots || !ArrayLengths)
        ResetPointArrayStore();
    return ArraySlots && ArrayLengths;
}

// A zero-filled block of n floats; never none for n = 0 (array keeps a block
// of length 0).
static float *NewBlock(int64_t n)
{
    if (n < 0 || n > INT_MAX || (uint64_t)n > SIZE_MAX / sizeof(float))
        return NULL;
    return (float *)calloc(n > 0 ? (size_t)n : 1, sizeof(float));
}

static void StoreBlock(float *block, int length)
{
    ArraySlots[ArrayCount] = block;
    ArrayLengths[ArrayCount] = length;
    ArrayCount++;
}

const char *CommandArray(int count, char **tokens)
{
    if (!StoreReady())
        return NotEnoughMemory();
    if (ArrayCount >= POINT_ARRAY_SLOTS)
        return Refuse(MSG_TOO_MANY_ARRAYS);
    int n = count - 1;
    float *block = NewBlock(n);
    if (!block)
        return NotEnoughMemory();
    for (int i = 1; i <= n; i++)
        block[i - 1] = (float)atof(tokens[i]);
    StoreBlock(block, n);
    return NULL;
}

// The answer to a failed read: a file that cannot be read answers as one that
// cannot be opened, a block that cannot be had as memory running out.
static const char *ReadFailure(int64_t result)
{
    return result == NUMBER_READ_FAILED ? Refuse(MSG_ERROR_OPENING_FILE) : NotEnoughMemory();
}

// Counts the selected numbers, then stores them in a block of that size. A
// file that selects nothing still takes its slot, left empty. Returns none, or
// the message when reading fails or memory runs out (the store is then
// unchanged).
static const char *ReadNumberFile(FILE *file, int stride, int start)
{
    int64_t n = ReadSelectedNumbers(NULL, 0, file, stride, start);
    if (n < 0)
        return ReadFailure(n);
    if (n > INT_MAX)
        return NotEnoughMemory();
    float *block = NULL;
    if (n > 0) {
        block = NewBlock(n);
        if (!block)
            return NotEnoughMemory();
        // The file may have changed since it was counted: the length is what
        // was stored now, never more than the block holds.
        n = fseek(file, 0, SEEK_SET) == 0 ? ReadSelectedNumbers(block, n, file, stride, start) : NUMBER_READ_FAILED;
        if (n < 0) {
            free(block);
            return ReadFailure(n);
        }
    }
    StoreBlock(block, (int)n);
    return NULL;
}

const char *CommandArrayFile(int count, char **tokens)
{
    if (!StoreReady())
        return NotEnoughMemory();
    if (ArrayCount >= POINT_ARRAY_SLOTS)
        return Refuse(MSG_TOO_MANY_ARRAYS);
    if (count != 4)
        return WrongTokenCount();
    FILE *file = fopen(tokens[1], "rb");
    if (!file)
        return Refuse(MSG_ERROR_OPENING_FILE);
    const char *result = ReadNumberFile(file, TokenToInt(tokens[2]), TokenToInt(tokens[3]));
    fclose(file);
    return result;
}

const char *CommandDrawArrays(int count, char **tokens)
{
    if (ArrayCount < 2)
        return Refuse(MSG_TOO_FEW_ARRAYS);
    int withZ = ArrayCount == 3;
    if (!ArraySlots[0] || !ArraySlots[1] || (withZ && !ArraySlots[2]))
        return Refuse(MSG_EMPTY_ARRAY);
    if (count != 1)
        return WrongTokenCount();
    int n = ArrayLengths[0];
    for (int i = 1; i < ArrayCount; i++)
        if (ArrayLengths[i] < n)
            n = ArrayLengths[i];
    const float *x = ArraySlots[0], *y = ArraySlots[1], *z = withZ ? ArraySlots[2] : NULL;
    glBegin(strcmp(tokens[0], "line") == 0 ? GL_LINE_STRIP : GL_POINTS);
    for (int i = 0; i < n; i++)
        glVertex3f(x[i], y[i], z ? z[i] : 0.0f);
    glEnd();
    ReleasePointArrays();
    return NULL;
}
