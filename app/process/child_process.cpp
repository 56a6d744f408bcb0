#include "app/process/child_process.h"
#include "app/process/file_descriptors.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace tesselin {

std::vector<std::string> SearchPath()
{
    const char *path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    std::vector<std::string> found;
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos)
            end = directories.size();
        std::string directory = directories.substr(start, end - start);
        found.push_back(directory.empty() ? std::string(".") : directory);
        start = end + 1;
    }
    return found;
}

bool ProgramOnPath(const std::string &name)
{
    for (const std::string &directory : SearchPath())
        if (access((directory + "/" + name).c_str(), X_OK) == 0)
            return true;
    return false;
}

std::vector<std::string> EnvironmentWith(const std::vector<std::string> &unset, const std::vector<std::string> &set)
{
    auto name = [](const std::string &entry) { return entry.substr(0, entry.find('=')); };
    auto dropped = [&](const std::string &entry) {
        std::string own = name(entry);
        for (const std::string &gone : unset)
            if (gone == own)
                return true;
        for (const std::string &added : set)
            if (name(added) == own)
                return true;
        return false;
    };
    std::vector<std::string> environment;
    for (char **entry = environ; *entry; entry++)
        if (!dropped(*entry))
            environment.emplace_back(*entry);
    environment.insert(environment.end(), set.begin(), set.end());
    return environment;
}

namespace {

std::vector<char *> Pointers(const std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (const std::string &text : strings)
        pointers.push_back(const_cast<char *>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

std::optional<pid_t> StartChild(const std::vector<std::string> &arguments,
                                const std::vector<ChildDescriptor> &descriptors, std::string &error,
                                const ChildOptions &options)
{
    if (arguments.empty()) {
        error = "no program to start";
        return std::nullopt;
    }
    std::vector<char *> argv = Pointers(arguments);
    std::vector<char *> envp = options.environment ? Pointers(*options.environment) : std::vector<char *>{};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const ChildDescriptor &descriptor : descriptors)
        posix_spawn_file_actions_adddup2(&actions, descriptor.ours, descriptor.theirs);
    for (const ChildFile &file : options.files)
        posix_spawn_file_actions_addopen(&actions, file.theirs, file.path.c_str(), file.flags, 0644);
    // A directory the child cannot enter fails the start, with the reason.
    if (!options.directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
    pid_t child = -1;
    int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(),
                              options.environment ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        error = "cannot start " + arguments[0] + ": " + std::strerror(failed);
        return std::nullopt;
    }
    return child;
}

int WaitForChild(pid_t child)
{
    int status = -1;
    while (child > 0 && waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return child > 0 ? status : -1;
}

bool ExitedCleanly(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

bool RunWithInput(const std::vector<std::string> &arguments, const std::string &input, bool quiet)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    int nowhere = quiet ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    std::vector<ChildDescriptor> descriptors{{ends[0], STDIN_FILENO}};
    if (nowhere >= 0)
        descriptors.push_back({nowhere, STDERR_FILENO});
    std::string error;
    auto child = StartChild(arguments, descriptors, error);
    close(ends[0]);
    if (nowhere >= 0)
        close(nowhere);
    bool written = child && WriteAll(ends[1], input.data(), input.size());
    close(ends[1]);
    return child && ExitedCleanly(WaitForChild(*child)) && written;
}

} // namespace tesselin
