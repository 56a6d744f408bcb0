// Running a program from a test or a benchmark through the host's own child
// process helper: standard streams from and to files, in its own directory
// and environment, its exit status or what it wrote.
#ifndef TESSELIN_TESTS_SHARED_SPAWN_H
#define TESSELIN_TESTS_SHARED_SPAWN_H

#include "app/process/child_process.h"

#include <errno.h>
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

// A status from WaitForChild as RunChild gives it.
inline int ExitStatus(int status)
{
    if (status == -1)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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
    return ExitStatus(tesselin::WaitForChild(*child));
}

// Starts arguments in the background, its standard streams opened by the
// child from the files of streams, in options' directory and environment;
// its process id, or -1 when it could not be started.
inline pid_t StartChild(const std::vector<std::string> &arguments, const Streams &streams,
                        tesselin::ChildOptions options = {})
{
    auto give = [&](const std::string &path, int flags, int theirs) {
        if (!path.empty())
            options.files.push_back({path, flags, theirs});
    };
    give(streams.in, O_RDONLY, STDIN_FILENO);
    give(streams.out, O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
    give(streams.err, O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
    std::string error;
    auto child = tesselin::StartChild(arguments, {}, error, options);
    return child ? *child : -1;
}

// Runs arguments to their end and gives what they wrote to standard output
// (empty when they could not be started); standard error is thrown away.
inline std::string Capture(const std::vector<std::string> &arguments)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return {};
    int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::string error;
    auto child = tesselin::StartChild(arguments, {{ends[1], STDOUT_FILENO}, {nowhere, STDERR_FILENO}}, error);
    close(ends[1]);
    close(nowhere);
    std::string out;
    char block[4096];
    for (ssize_t n; child && (n = read(ends[0], block, sizeof block)) != 0;) {
        if (n > 0)
            out.append(block, std::size_t(n));
        else if (errno != EINTR)
            break;
    }
    close(ends[0]);
    if (child)
        tesselin::WaitForChild(*child);
    return out;
}

} // namespace tests

#endif
