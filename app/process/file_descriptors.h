// Whole transfers through a file descriptor: pipes and files give and take
// bytes in pieces, and a signal may cut a call short; these go on until all
// of them went through or the other end is gone.
#ifndef TESSELIN_APP_PROCESS_FILE_DESCRIPTORS_H
#define TESSELIN_APP_PROCESS_FILE_DESCRIPTORS_H

#include <cstddef>

namespace tesselin {

// Writes all size bytes; false, with errno set (EIO when nothing more would
// go), when it cannot.
bool WriteAll(int descriptor, const void *bytes, std::size_t size);
// Reads exactly size bytes; false at the end of the input or on an error.
bool ReadAll(int descriptor, void *bytes, std::size_t size);

} // namespace tesselin

#endif
