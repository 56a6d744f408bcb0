// Writing an output file so that a failure never loses what was there.
//
// An ordinary file (or a path that does not exist yet) is written to a new
// temporary file in the same folder, which replaces the target by a rename
// only once everything was written and flushed to the disk. A failed write
// removes the temporary file and leaves the target as it was. Special files
// (devices, FIFOs, sockets) and standard output ("-") are written directly
// and never removed or replaced.
#ifndef TESSELIN_APP_OUTPUT_FILE_H
#define TESSELIN_APP_OUTPUT_FILE_H

#include <cstdio>
#include <functional>
#include <string>

namespace tesselin {

// Fills an open stream; false with the reason in error when it cannot.
using FileFiller = std::function<bool(std::FILE *stream, std::string &error)>;

// Writes path through fill. False with "cannot write PATH: reason" in error
// when the file cannot be written completely; then nothing at path changed
// (a special file may hold what was written before the failure).
bool WriteOutputFile(const std::string &path, const FileFiller &fill, std::string &error);

// Removes the temporary file of a write in progress, if there is one. Safe
// to call from a signal handler, which is what it is for: a run that ends on
// a signal leaves no half-written file behind.
void RemovePendingOutput() noexcept;

} // namespace tesselin

#endif
