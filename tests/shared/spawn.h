// Running a program from a test or a benchmark through the host's own child
// process helper: standard streams from and to files, and its exit status.
#ifndef TESSELIN_TESTS_SHARED_SPAWN_H
#define TESSELIN_TESTS_SHARED_SPAWN_H

#include "app/process/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tests {

// Where a child's standard streams come from and go; empty keeps ours.
struct Streams {
    std::string in, out, err;
};

// Runs arguments (arguments[0] a path or a name along PATH) and waits for it:
// its exit status, 128 + the signal that ended it, or -1 when it could not be
// started.
inline int RunChild(const std::vector<std::string> &arguments, const Streams &streams = {})
{
    std::vector<tesselin::ChildDescriptor> descriptors;
    std::vector<int> opened;
    auto redirect = [&](const std::string &path, int flags, int theirs) {
        if (path.empty())
            return;
        int fd = open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd >= 0) {
            opened.push_back(fd);
            descriptors.push_back({fd, theirs});
        }
    };
    redirect(streams.in, O_RDONLY, STDIN_FILENO);
    redirect(streams.out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
    redirect(streams.err, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
    std::string error;
    auto child = tesselin::StartChild(arguments, descriptors, error);
    for (int fd : opened)
        close(fd);
    if (!child)
        return -1;
    int status = tesselin::WaitForChild(*child);
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace tests

#endif
