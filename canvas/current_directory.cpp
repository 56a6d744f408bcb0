// Paths taken relative to the host's current directory, by picture and help.
#include "plugin/tesselin.h"
#include "canvas/canvas.h"

#include <string.h>

int JoinCurrentDirectory(char *buffer, int size, const char *name)
{
    if (size < 1)
        return 0;
    // On success the length without the NUL comes back; when the buffer is too
    // small, the size needed, which is at least size.
    DWORD length = GetCurrentDirectoryA((DWORD)size, buffer);
    size_t separator = strlen(PATH_SEPARATOR), rest = strlen(name);
    if (length == 0 || length >= (DWORD)size || length + separator + rest >= (size_t)size) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer + length, PATH_SEPARATOR, separator);
    memcpy(buffer + length + separator, name, rest + 1);
    return 1;
}
