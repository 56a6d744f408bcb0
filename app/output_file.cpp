#include "app/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>

namespace tesselin {

namespace {

// The temporary file being written, for RemovePendingOutput. A fixed buffer
// and a flag, so that a signal handler can read them without allocating.
char PendingPath[4096];
volatile std::sig_atomic_t PendingSet = 0;

// Blocks the signals that end a run while the pending file changes, so that
// a handler never sees a file that exists but is not registered, or a
// registration whose file has already been renamed.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t previous_;
};

struct StreamCloser {
    void operator()(std::FILE *stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

std::string Reason(int number) { return std::strerror(number); }

// Runs fill on stream and flushes it; the reason in error on failure.
bool FillAndFlush(std::FILE *stream, const FileFiller &fill, std::string &error)
{
    errno = 0;
    if (!fill(stream, error)) {
        if (error.empty())
            error = Reason(errno ? errno : EIO);
        return false;
    }
    if (std::fflush(stream) != 0 || std::ferror(stream)) {
        error = Reason(errno ? errno : EIO);
        return false;
    }
    return true;
}

bool WriteStandardOutput(const FileFiller &fill, std::string &error)
{
    if (isatty(STDOUT_FILENO)) {
        error = "standard output is a terminal; send it to a file or a pipe";
        return false;
    }
    return FillAndFlush(stdout, fill, error);
}

// A device, FIFO or socket: opened as it is, never truncated nor removed.
bool WriteSpecial(const std::string &path, const FileFiller &fill, std::string &error)
{
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = Reason(errno);
        return false;
    }
    Stream stream(fdopen(fd, "wb"));
    if (!stream) {
        error = Reason(errno);
        close(fd);
        return false;
    }
    bool written = FillAndFlush(stream.get(), fill, error);
    if (std::fclose(stream.release()) != 0 && written) {
        error = Reason(errno);
        written = false;
    }
    return written;
}

mode_t NewFileMode()
{
    static const mode_t mode = [] {
        mode_t mask = umask(0);
        umask(mask);
        return 0666 & ~mask;
    }();
    return mode;
}

// A new file in the target's folder, registered as pending; -1 on failure.
int CreatePending(const std::filesystem::path &target, std::string &error)
{
    std::filesystem::path folder = target.parent_path();
    // Named after the target where the name leaves room for the suffix.
    std::string base = target.filename().string();
    if (base.size() > 200)
        base = "tesselin";
    std::string name = (folder.empty() ? std::filesystem::path(".") : folder) / ("." + base + ".XXXXXX");
    if (name.size() >= sizeof PendingPath) {
        error = Reason(ENAMETOOLONG);
        return -1;
    }
    SignalsHeld held;
    std::memcpy(PendingPath, name.c_str(), name.size() + 1);
    int fd = mkostemp(PendingPath, O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a file in " + (folder.empty() ? std::string(".") : folder.string()) + ": " +
                Reason(errno);
        return -1;
    }
    PendingSet = 1;
    return fd;
}

void DropPending()
{
    SignalsHeld held;
    if (PendingSet)
        unlink(PendingPath);
    PendingSet = 0;
}

// An ordinary file: written beside the target, renamed over it on success.
bool WriteReplacing(const std::filesystem::path &target, const struct stat *existing, const FileFiller &fill,
                    std::string &error)
{
    int fd = CreatePending(target, error);
    if (fd < 0)
        return false;
    // The new file keeps the old one's permissions (and owner, where that
    // may be given), or gets those of any new file.
    if (existing) {
        if (fchown(fd, existing->st_uid, existing->st_gid) != 0) {
            // Not ours to give away: the file becomes the writer's own.
        }
        fchmod(fd, existing->st_mode & 07777);
    } else {
        fchmod(fd, NewFileMode());
    }
    Stream stream(fdopen(fd, "wb"));
    if (!stream) {
        error = Reason(errno);
        close(fd);
        DropPending();
        return false;
    }
    bool written = FillAndFlush(stream.get(), fill, error);
    // Before an existing file is replaced, the new one is on the disk, so
    // that even a crash cannot leave neither. A new path risks nothing, and
    // skipping the wait keeps writing many frames fast.
    if (written && existing && fsync(fileno(stream.get())) != 0 && errno != EINVAL && errno != EROFS) {
        error = Reason(errno);
        written = false;
    }
    if (std::fclose(stream.release()) != 0 && written) {
        error = Reason(errno);
        written = false;
    }
    if (!written) {
        DropPending();
        return false;
    }
    SignalsHeld held;
    if (std::rename(PendingPath, target.c_str()) != 0) {
        error = Reason(errno);
        unlink(PendingPath);
        PendingSet = 0;
        return false;
    }
    PendingSet = 0;
    return true;
}

} // namespace

bool WriteOutputFile(const std::string &path, const FileFiller &fill, std::string &error)
{
    std::string reason;
    bool written = false;
    struct stat status {};
    if (path == "-") {
        written = WriteStandardOutput(fill, reason);
    } else if (stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            // A dangling symbolic link is replaced by the file, as any path
            // that names nothing yet.
            written = WriteReplacing(path, nullptr, fill, reason);
        else
            reason = Reason(errno);
    } else if (S_ISDIR(status.st_mode)) {
        reason = Reason(EISDIR);
    } else if (!S_ISREG(status.st_mode)) {
        written = WriteSpecial(path, fill, reason);
    } else {
        // Through a symbolic link the file it names is replaced, not the link.
        std::error_code failure;
        std::filesystem::path target = std::filesystem::canonical(path, failure);
        written = WriteReplacing(failure ? std::filesystem::path(path) : target, &status, fill, reason);
    }
    if (!written)
        error = "cannot write " + path + ": " + reason;
    return written;
}

void RemovePendingOutput() noexcept
{
    if (PendingSet)
        unlink(PendingPath);
    PendingSet = 0;
}

} // namespace tesselin
