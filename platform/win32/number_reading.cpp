// Numbers in commands and number files read the same on Windows as on Linux.
// The plug-in converts every number token with atof; the system's C runtime
// (msvcrt) reads neither hexadecimal numbers (0x1A, 0x1p-3) nor inf, infinity
// and nan, which the manual promises and glibc reads. This definition takes
// the place of msvcrt's atof in the module: MinGW-w64's strtod, linked in
// statically, reads all of these and rounds every decimal correctly, as glibc
// does. Nothing else changes: leading blanks are skipped, a number is read as
// far as it goes, and text that is no number reads as 0.
#include <stdlib.h>

extern "C" double __cdecl atof(const char *text)
{
    return __mingw_strtod(text, NULL);
}
