// Writing an output file so that a failure never loses what was there.
//
// An ordinary file (or a path that does not exist yet) is written to a new
// temporary file in the same folder, which replaces the target by a rename
// only once everything was written and flushed to the disk. A failed write
// removes the temporary file and leaves the target as it was. Special files
// (devices, FIFOs, sockets) and standard output ("-") are written directly
// and never removed or replaced.
#ifndef TESSELIN_APP_PROCESS_OUTPUT_FILE_H
#define TESSELIN_APP_PROCESS_OUTPUT_FILE_H

#include <cstdio>
#include <functional>
#include <string>
#include <sys/types.h>

namespace tesselin {

// Fills an open stream; false with the reason in error when it cannot.
using FileFiller = std::function<bool(std::FILE *stream, std::string &error)>;

// The extension of path in small letters (".png" for "x.PNG"): every output
// picks its format by this, so that capitals never change what is written.
std::string LowerExtension(const std::string &path);

// Writes path through fill. False with "cannot write PATH: reason" in error
// when the file cannot be written completely; then nothing at path changed
// (a special file may hold what was written before the failure).
bool WriteOutputFile(const std::string &path, const FileFiller &fill, std::string &error);

// An output written over time, such as an animation whose frames come one
// by one: the same rules as WriteOutputFile, held open between the steps.
// An ordinary or new file is written as a temporary file beside it, which
// replaces it on Commit; a special file is written in place. Dropped without
// Commit, the temporary file is removed and the target stays as it was.
class PendingOutput {
public:
    // Opens path for writing; an unopened output with the reason in error
    // ("cannot write PATH: reason") when it cannot.
    static PendingOutput Open(const std::string &path, std::string &error);
    PendingOutput() = default;
    PendingOutput(PendingOutput &&other) noexcept;
    PendingOutput &operator=(PendingOutput &&other) noexcept;
    PendingOutput(const PendingOutput &) = delete;
    PendingOutput &operator=(const PendingOutput &) = delete;
    ~PendingOutput() { Abandon(); }

    bool IsOpen() const { return descriptor_ >= 0; }
    // Where to write: owned by this output, open until Commit or Abandon.
    int Descriptor() const { return descriptor_; }
    // False for a device, FIFO, socket or standard output, which cannot be
    // sought in nor read back.
    bool Seekable() const { return slot_ >= 0; }
    // Makes what was written the file at the target; false with the reason
    // in error, and then the target is as it was before.
    bool Commit(std::string &error);
    // Drops what was written.
    void Abandon() noexcept;

private:
    std::string target_;
    int descriptor_ = -1;
    int slot_ = -1;          // the pending registration of the temporary file
    bool replacing_ = false; // whether an existing file is replaced
};

// Removes the temporary file of a write in progress, if there is one. Safe
// to call from a signal handler, which is what it is for: a run that ends on
// a signal leaves no half-written file behind. Outputs held open over time
// (PendingOutput) are removed too.
void RemovePendingOutput() noexcept;

} // namespace tesselin

#endif
