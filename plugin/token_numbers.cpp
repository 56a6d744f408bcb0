// Whole numbers from tokens. The C library's atoi gives no defined answer
// beyond the int range, and the answers differ by platform: 64-bit Linux
// truncates a long, so "-2147483649" reads as 2147483647, while the Windows
// runtime holds the value at the nearest limit. Every integer token of every
// command is read here, held to the int range the same way on every platform.
#include "plugin/tesselin.h"

#include <limits.h>
#include <stdlib.h>

int TokenToInt(const char *token)
{
    if (!token)
        return 0;
    // strtoll reads as atoi does (leading blanks, a sign, digits, stopping at
    // the first other character) and saturates to the long long range itself.
    long long value = strtoll(token, NULL, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}
