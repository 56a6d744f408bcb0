// Number files: the bytes split into tokens at CR, LF, space and NUL; every
// other byte (tab, comma and semicolon included) belongs to its token, and a
// token converts as atof reads it. The file is read in large chunks and
// scanned in place, and only the selected tokens are converted, so a file of
// hundreds of megabytes reads at about the speed of the page cache and the
// number conversion.
#include "data/data.h"

#include <charconv>
#include <fenv.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <system_error>

// A separator as a plain expression, so that loops over it vectorise.
static inline int IsSeparator(unsigned char c)
{
    return (c == 0) | (c == '\n') | (c == '\r') | (c == ' ');
}

// The chunk buffer of one read. It is allocated per read (one block of
// NUMBER_CHUNK_BYTES) and grows only while it holds a selected token that is
// longer than itself, so a token of any length converts whole.
typedef struct NumberScan {
    FILE *file;
    char *buffer;  // size + 1 bytes: a token's terminator fits after it
    size_t size;   // bytes the buffer holds at most
    size_t chunk;  // bytes asked of one fread
    size_t filled; // bytes held now
} NumberScan;

// from_chars is exact and much faster than strtod, but it reads no leading
// blanks, '+', hex, inf or nan, and is blind to the locale and rounding mode.
// It is used only where it reads what strtod reads: a token that starts like a
// plain decimal number, in the C decimal point and the default rounding, when
// it converts without range error and does not stop at an 'x' (the hex form
// "0x..." stops there). Every other token goes to atof itself.
static int FastConversionAllowed(void)
{
    const struct lconv *numeric = localeconv();
    return numeric && strcmp(numeric->decimal_point, ".") == 0 && fegetround() == FE_TONEAREST;
}

static int LooksDecimal(const char *token, const char *end)
{
    unsigned char c = token < end ? (unsigned char)token[0] : 0;
    if (c == '-')
        c = token + 1 < end ? (unsigned char)token[1] : 0;
    return (c >= '0' && c <= '9') || c == '.';
}

static float ConvertWithin(const char *token, const char *end, int fast)
{
    if (fast && LooksDecimal(token, end)) {
        double value;
        std::from_chars_result read = std::from_chars(token, end, value);
        if (read.ec == std::errc() && (read.ptr == end || (*read.ptr != 'x' && *read.ptr != 'X')))
            return (float)value;
    }
    return (float)atof(token);
}

float ConvertNumberToken(const char *token)
{
    return ConvertWithin(token, token + strlen(token), FastConversionAllowed());
}

// Token starts in bytes[0, n): a byte that is no separator and follows one (or
// follows the previous chunk's last byte, when that was a separator).
static int64_t CountStartsBytewise(const unsigned char *bytes, size_t n, int afterSeparator)
{
    int64_t starts = 0;
    for (size_t i = 0; i < n; i++) {
        int separator = IsSeparator(bytes[i]);
        starts += afterSeparator & !separator;
        afterSeparator = separator;
    }
    return starts;
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ || defined(_M_IX86) || defined(_M_X64)
// Eight bytes at a time: the top bit of each byte of the result is set where
// that byte of word equals the byte repeated in pattern, with no false hits.
static inline uint64_t BytesEqual(uint64_t word, uint64_t pattern)
{
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    uint64_t x = word ^ pattern;
    return ~(((x & low7) + low7) | x | low7);
}

// Few bits are set (about one token start per word of numbers), so clearing
// them one by one beats a general population count.
static inline int BitCount(uint64_t bits)
{
    int n = 0;
    for (; bits; bits &= bits - 1)
        n++;
    return n;
}

static int64_t CountTokenStarts(const unsigned char *bytes, size_t n, int afterSeparator)
{
    const uint64_t ones = 0x0101010101010101ull, high = 0x8080808080808080ull;
    uint64_t carry = afterSeparator ? 0x80 : 0; // the separator flag of the byte before
    int64_t starts = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        memcpy(&word, bytes + i, sizeof word);
        uint64_t separators = BytesEqual(word, 0) | BytesEqual(word, ones * '\n') |
                              BytesEqual(word, ones * '\r') | BytesEqual(word, ones * ' ');
        // In memory order byte k + 1 follows byte k: shifting the flags up by
        // one byte lines each byte up with its predecessor's flag.
        starts += BitCount(~separators & high & ((separators << 8) | carry));
        carry = separators >> 56;
    }
    return starts + CountStartsBytewise(bytes + i, n - i, carry != 0);
}
#else
static int64_t CountTokenStarts(const unsigned char *bytes, size_t n, int afterSeparator)
{
    return CountStartsBytewise(bytes, n, afterSeparator);
}
#endif

// fread gives a short count both at the end of the file and when reading
// fails (a directory, an I/O error); only the first is the end of the numbers.
static int ReadFailed(const NumberScan *scan)
{
    return ferror(scan->file) != 0;
}

static int64_t CountTokens(NumberScan *scan)
{
    int64_t tokens = 0;
    int afterSeparator = 1;
    size_t n;
    while ((n = fread(scan->buffer, 1, scan->chunk, scan->file)) > 0) {
        tokens += CountTokenStarts((const unsigned char *)scan->buffer, n, afterSeparator);
        afterSeparator = IsSeparator((unsigned char)scan->buffer[n - 1]);
    }
    return ReadFailed(scan) ? NUMBER_READ_FAILED : tokens;
}

// How many of token indexes 0 .. tokens - 1 leave the remainder start when
// divided by period (0 <= start < period).
static int64_t SelectedAmong(int64_t tokens, int64_t period, int64_t start)
{
    return tokens > start ? (tokens - start - 1) / period + 1 : 0;
}

static int GrowBuffer(NumberScan *scan)
{
    size_t size = scan->size * 2;
    char *grown = size > scan->size ? (char *)realloc(scan->buffer, size + 1) : NULL;
    if (!grown)
        return 0;
    scan->buffer = grown;
    scan->size = size;
    return 1;
}

// Moves the bytes from keep on (an open token to be converted whole) to the
// front of the buffer and appends the next chunk of the file after them.
// Returns the bytes read: 0 at the end of the file, NUMBER_READ_NO_MEMORY when
// the buffer cannot grow to hold a token that fills it, NUMBER_READ_FAILED
// when reading fails.
static ptrdiff_t NextChunk(NumberScan *scan, size_t keep)
{
    size_t kept = scan->filled - keep;
    if (kept && keep)
        memmove(scan->buffer, scan->buffer + keep, kept);
    if (kept == scan->size && !GrowBuffer(scan))
        return NUMBER_READ_NO_MEMORY;
    size_t room = scan->size - kept;
    size_t n = fread(scan->buffer + kept, 1, room < scan->chunk ? room : scan->chunk, scan->file);
    scan->filled = kept + n;
    return n == 0 && ReadFailed(scan) ? NUMBER_READ_FAILED : (ptrdiff_t)n;
}

// Moves at past the token that starts there. A token that runs to the end of
// the buffer continues in the next chunk: when it is kept (selected), its
// bytes are moved to the front and begin follows them. Returns 0, or the
// failure of NextChunk.
static int PassToken(NumberScan *scan, size_t *begin, size_t *at, int keep)
{
    for (;;) {
        while (*at < scan->filled && !IsSeparator((unsigned char)scan->buffer[*at]))
            (*at)++;
        if (*at < scan->filled)
            return 0;
        ptrdiff_t n = NextChunk(scan, keep ? *begin : scan->filled);
        if (n < 0)
            return (int)n;
        *at = keep ? *at - *begin : 0;
        *begin = 0;
        if (n == 0)
            return 0; // the end of the file closes the token
    }
}

// The common case without copying or a second scan: a token that from_chars
// reads whole, up to the separator after it, inside the buffer. Returns the
// separator's position, or 0 when the token needs the general path.
static size_t ReadInPlace(const NumberScan *scan, size_t at, float *out)
{
    const char *token = scan->buffer + at, *end = scan->buffer + scan->filled;
    if (!LooksDecimal(token, end))
        return 0;
    double value;
    std::from_chars_result read = std::from_chars(token, end, value);
    if (read.ec != std::errc() || read.ptr == end || !IsSeparator((unsigned char)*read.ptr))
        return 0;
    *out = (float)value;
    return (size_t)(read.ptr - scan->buffer);
}

// Stores the selected numbers until the file ends or capacity are stored,
// whatever the file holds now: a file that grew since it was counted never
// writes past the block.
static int64_t StoreSelected(NumberScan *scan, float *destination, int64_t capacity, int64_t period,
                             int64_t start)
{
    int fast = FastConversionAllowed();
    int64_t stored = 0, phase = 0; // phase: the token's index modulo period
    size_t at = 0;
    while (stored < capacity) {
        while (at < scan->filled && IsSeparator((unsigned char)scan->buffer[at]))
            at++;
        if (at == scan->filled) {
            ptrdiff_t n = NextChunk(scan, scan->filled);
            if (n < 0)
                return n;
            if (n == 0)
                break;
            at = 0;
            continue;
        }
        int selected = phase == start;
        if (++phase == period)
            phase = 0;
        size_t after = selected && fast ? ReadInPlace(scan, at, destination + stored) : 0;
        if (after) {
            stored++;
            at = after;
            continue;
        }
        size_t begin = at;
        int passed = PassToken(scan, &begin, &at, selected);
        if (passed < 0)
            return passed;
        if (selected) {
            scan->buffer[at] = '\0'; // over the separator, or just past the data
            destination[stored++] = ConvertWithin(scan->buffer + begin, scan->buffer + at, fast);
        }
    }
    return stored;
}

int64_t ReadSelectedNumbersInChunks(float *destination, int64_t capacity, FILE *file, int stride,
                                    int start, size_t chunkBytes)
{
    int64_t period = stride < 0 ? -(int64_t)stride : (int64_t)stride;
    int selectsNothing = period == 0 || start < 0 || start >= period;
    if (!file || (destination && (selectsNothing || capacity <= 0)))
        return 0;
    if (chunkBytes < 1)
        chunkBytes = 1;
    NumberScan scan = {file, (char *)malloc(chunkBytes + 1), chunkBytes, chunkBytes, 0};
    if (!scan.buffer)
        return NUMBER_READ_NO_MEMORY;
    // Counting reads the file even when nothing is selected, so that a file
    // that cannot be read says so whatever the stride.
    int64_t result = destination ? StoreSelected(&scan, destination, capacity, period, start)
                                 : CountTokens(&scan);
    if (!destination && result >= 0)
        result = selectsNothing ? 0 : SelectedAmong(result, period, start);
    free(scan.buffer);
    return result;
}

int64_t ReadSelectedNumbers(float *destination, int64_t capacity, FILE *file, int stride, int start)
{
    return ReadSelectedNumbersInChunks(destination, capacity, file, stride, start, NUMBER_CHUNK_BYTES);
}
