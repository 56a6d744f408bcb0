#include "app/process/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <utility>

namespace tesselin {

std::string LowerExtension(const std::string &path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

namespace {

// The temporary files being written, for RemovePendingOutput: one for an
// image written at once, others for outputs held open over time while
// images are written beside them. Fixed buffers and flags, so that a signal
// handler can read them without allocating.
struct PendingFile {
    char path[4096];
    volatile std::sig_atomic_t set;
};
PendingFile Pending[4];

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

// A new file in the target's folder, registered as pending in a free slot
// (its number in slot); -1 on failure.
int CreatePending(const std::filesystem::path &target, int &slot, std::string &error)
{
    std::filesystem::path folder = target.parent_path();
    // Named after the target where the name leaves room for the suffix.
    std::string base = target.filename().string();
    if (base.size() > 200)
        base = "tesselin";
    std::string name = (folder.empty() ? std::filesystem::path(".") : folder) / ("." + base + ".XXXXXX");
    if (name.size() >= sizeof Pending[0].path) {
        error = Reason(ENAMETOOLONG);
        return -1;
    }
    SignalsHeld held;
    slot = 0;
    while (slot < int(std::size(Pending)) && Pending[slot].set)
        slot++;
    if (slot == int(std::size(Pending))) {
        slot = -1;
        error = "too many files are being written at once";
        return -1;
    }
    std::memcpy(Pending[slot].path, name.c_str(), name.size() + 1);
    int fd = mkostemp(Pending[slot].path, O_CLOEXEC);
    if (fd < 0) {
        error = "cannot create a file in " + (folder.empty() ? std::string(".") : folder.string()) + ": " +
                Reason(errno);
        slot = -1;
        return -1;
    }
    Pending[slot].set = 1;
    return fd;
}

void DropPending(int slot)
{
    SignalsHeld held;
    if (Pending[slot].set)
        unlink(Pending[slot].path);
    Pending[slot].set = 0;
}

// Gives a new file the permissions (and owner, where that may be given) of
// the file it replaces, or those of any new file.
void TakeOver(int fd, const struct stat *existing)
{
    if (existing) {
        if (fchown(fd, existing->st_uid, existing->st_gid) != 0) {
            // Not ours to give away: the file becomes the writer's own.
        }
        fchmod(fd, existing->st_mode & 07777);
    } else {
        fchmod(fd, NewFileMode());
    }
}

// Puts the file written in slot at target; false with the reason in error,
// and the temporary file removed.
bool RenamePending(int slot, const std::filesystem::path &target, std::string &error)
{
    SignalsHeld held;
    if (std::rename(Pending[slot].path, target.c_str()) != 0) {
        error = Reason(errno);
        unlink(Pending[slot].path);
        Pending[slot].set = 0;
        return false;
    }
    Pending[slot].set = 0;
    return true;
}

// Before an existing file is replaced, the new one is on the disk, so that
// even a crash cannot leave neither. A new path risks nothing, and skipping
// the wait keeps writing many frames fast.
bool SyncBeforeReplacing(int fd, std::string &error)
{
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        error = Reason(errno);
        return false;
    }
    return true;
}

// An ordinary file: written beside the target, renamed over it on success.
bool WriteReplacing(const std::filesystem::path &target, const struct stat *existing, const FileFiller &fill,
                    std::string &error)
{
    int slot = -1;
    int fd = CreatePending(target, slot, error);
    if (fd < 0)
        return false;
    TakeOver(fd, existing);
    Stream stream(fdopen(fd, "wb"));
    if (!stream) {
        error = Reason(errno);
        close(fd);
        DropPending(slot);
        return false;
    }
    bool written = FillAndFlush(stream.get(), fill, error);
    if (written && existing)
        written = SyncBeforeReplacing(fileno(stream.get()), error);
    if (std::fclose(stream.release()) != 0 && written) {
        error = Reason(errno);
        written = false;
    }
    if (!written) {
        DropPending(slot);
        return false;
    }
    return RenamePending(slot, target, error);
}

// What a path names, as WriteOutputFile and PendingOutput treat it.
enum class TargetKind { StandardOutput, Missing, Directory, Special, Ordinary, Unreadable };

// Whether path is a symbolic link that another user placed in a shared
// folder (sticky and world-writable, like /tmp). Such a link is not
// followed, as the kernel's own link protection would refuse it: whoever
// made it could otherwise send our output over any file we may write.
// Links that are ours or the folder owner's are followed as elsewhere.
bool IsForeignSharedLink(const std::string &path)
{
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return false;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    struct stat shared {};
    if (stat(folder.empty() ? "." : folder.c_str(), &shared) != 0)
        return false;
    bool sharedFolder = (shared.st_mode & S_ISVTX) && (shared.st_mode & S_IWOTH);
    return sharedFolder && link.st_uid != geteuid() && link.st_uid != shared.st_uid;
}

TargetKind KindOf(const std::string &path, struct stat &status, std::string &reason)
{
    if (path == "-")
        return TargetKind::StandardOutput;
    if (IsForeignSharedLink(path)) {
        reason = "it is a link in a shared folder (sticky, world-writable) owned by another user; not followed";
        return TargetKind::Unreadable;
    }
    if (stat(path.c_str(), &status) != 0) {
        // A dangling symbolic link is replaced by the file, as any path that
        // names nothing yet.
        if (errno == ENOENT)
            return TargetKind::Missing;
        reason = Reason(errno);
        return TargetKind::Unreadable;
    }
    if (S_ISDIR(status.st_mode)) {
        reason = Reason(EISDIR);
        return TargetKind::Directory;
    }
    return S_ISREG(status.st_mode) ? TargetKind::Ordinary : TargetKind::Special;
}

// Through a symbolic link the file it names is replaced, not the link.
std::filesystem::path Resolved(const std::string &path)
{
    std::error_code failure;
    std::filesystem::path target = std::filesystem::canonical(path, failure);
    return failure ? std::filesystem::path(path) : target;
}

} // namespace

bool WriteOutputFile(const std::string &path, const FileFiller &fill, std::string &error)
{
    std::string reason;
    bool written = false;
    struct stat status {};
    switch (KindOf(path, status, reason)) {
    case TargetKind::StandardOutput:
        written = WriteStandardOutput(fill, reason);
        break;
    case TargetKind::Missing:
        written = WriteReplacing(path, nullptr, fill, reason);
        break;
    case TargetKind::Special:
        written = WriteSpecial(path, fill, reason);
        break;
    case TargetKind::Ordinary:
        written = WriteReplacing(Resolved(path), &status, fill, reason);
        break;
    case TargetKind::Directory:
    case TargetKind::Unreadable:
        break;
    }
    if (!written)
        error = "cannot write " + path + ": " + reason;
    return written;
}

PendingOutput PendingOutput::Open(const std::string &path, std::string &error)
{
    PendingOutput output;
    std::string reason;
    struct stat status {};
    switch (KindOf(path, status, reason)) {
    case TargetKind::StandardOutput:
        if (isatty(STDOUT_FILENO))
            reason = "standard output is a terminal; send it to a file or a pipe";
        else if ((output.descriptor_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)) < 0)
            reason = Reason(errno);
        break;
    case TargetKind::Special:
        if ((output.descriptor_ = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)) < 0)
            reason = Reason(errno);
        break;
    case TargetKind::Missing:
    case TargetKind::Ordinary: {
        output.replacing_ = S_ISREG(status.st_mode);
        output.target_ = output.replacing_ ? Resolved(path) : std::filesystem::path(path);
        output.descriptor_ = CreatePending(output.target_, output.slot_, reason);
        if (output.descriptor_ >= 0)
            TakeOver(output.descriptor_, output.replacing_ ? &status : nullptr);
        break;
    }
    case TargetKind::Directory:
    case TargetKind::Unreadable:
        break;
    }
    if (!output.IsOpen())
        error = "cannot write " + path + ": " + reason;
    return output;
}

PendingOutput::PendingOutput(PendingOutput &&other) noexcept { *this = std::move(other); }

PendingOutput &PendingOutput::operator=(PendingOutput &&other) noexcept
{
    if (this != &other) {
        Abandon();
        target_ = std::move(other.target_);
        descriptor_ = std::exchange(other.descriptor_, -1);
        slot_ = std::exchange(other.slot_, -1);
        replacing_ = other.replacing_;
    }
    return *this;
}

bool PendingOutput::Commit(std::string &error)
{
    if (!IsOpen()) {
        error = "nothing is being written";
        return false;
    }
    bool written = !replacing_ || SyncBeforeReplacing(descriptor_, error);
    if (close(std::exchange(descriptor_, -1)) != 0 && written) {
        error = Reason(errno);
        written = false;
    }
    if (slot_ >= 0) {
        int slot = std::exchange(slot_, -1);
        if (written)
            return RenamePending(slot, target_, error);
        DropPending(slot);
    }
    return written;
}

void PendingOutput::Abandon() noexcept
{
    if (descriptor_ >= 0)
        close(std::exchange(descriptor_, -1));
    if (slot_ >= 0)
        DropPending(std::exchange(slot_, -1));
}

void RemovePendingOutput() noexcept
{
    for (PendingFile &file : Pending) {
        if (file.set)
            unlink(file.path);
        file.set = 0;
    }
}

} // namespace tesselin
