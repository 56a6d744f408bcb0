// Notices when a file is saved. The file's folder is watched, not the file:
// editors often save by writing a new file and renaming it over the old one,
// which a watch on the old file would never see.
#ifndef TESSELIN_APP_VIEW_FILE_WATCH_H
#define TESSELIN_APP_VIEW_FILE_WATCH_H

#include <memory>
#include <string>

namespace tesselin {

class FileWatch {
public:
    // Starts watching path; none with the reason in error.
    static std::unique_ptr<FileWatch> Start(const std::string &path, std::string &error);
    ~FileWatch();
    FileWatch(const FileWatch &) = delete;
    FileWatch &operator=(const FileWatch &) = delete;

    // Whether the file was written or replaced since the last call.
    // Waits up to timeoutMs for that (0: only looks).
    bool Changed(int timeoutMs = 0);

private:
    FileWatch() = default;
    bool Drain();

    int fd_ = -1;
    std::string name_;
};

} // namespace tesselin

#endif
