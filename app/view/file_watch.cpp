#include "app/view/file_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tesselin {

std::unique_ptr<FileWatch> FileWatch::Start(const std::string &path, std::string &error)
{
    std::filesystem::path file(path);
    std::filesystem::path folder = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    std::unique_ptr<FileWatch> watch(new FileWatch());
    watch->name_ = file.filename().string();
    watch->fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch->fd_ < 0) {
        error = std::string("cannot watch for changes: ") + std::strerror(errno);
        return nullptr;
    }
    // A finished write (new files too) or a file renamed into place; not the
    // creation itself, which comes before the content.
    if (inotify_add_watch(watch->fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        error = "cannot watch " + folder.string() + " for changes: " + std::strerror(errno);
        return nullptr;
    }
    return watch;
}

FileWatch::~FileWatch()
{
    if (fd_ >= 0)
        close(fd_);
}

bool FileWatch::Drain()
{
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            return changed;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len && name_ == event->name)
                changed = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

bool FileWatch::Changed(int timeoutMs)
{
    if (Drain())
        return true;
    if (timeoutMs <= 0)
        return false;
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) <= 0)
        return false;
    return Drain();
}

} // namespace tesselin
