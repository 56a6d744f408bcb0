#include "app/process/file_descriptors.h"

#include <cerrno>
#include <unistd.h>

namespace tesselin {

bool WriteAll(int descriptor, const void *bytes, std::size_t size)
{
    const char *next = static_cast<const char *>(bytes);
    while (size > 0) {
        ssize_t done = write(descriptor, next, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        next += done;
        size -= std::size_t(done);
    }
    return true;
}

bool ReadAll(int descriptor, void *bytes, std::size_t size)
{
    char *next = static_cast<char *>(bytes);
    while (size > 0) {
        ssize_t done = read(descriptor, next, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        next += done;
        size -= std::size_t(done);
    }
    return true;
}

} // namespace tesselin
