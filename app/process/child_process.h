// Starting other programs: the one place the host spawns a child (ffmpeg
// for MP4 files, the clipboard tools) and looks a program up along PATH.
// Children are started with posix_spawnp, which is safe in a program that
// runs threads, and are given only the descriptors asked for.
#ifndef TESSELIN_APP_PROCESS_CHILD_PROCESS_H
#define TESSELIN_APP_PROCESS_CHILD_PROCESS_H

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tesselin {

// A descriptor of ours that the child has as another number (its standard
// input, output or error, or a further one such as 3).
struct ChildDescriptor {
    int ours;
    int theirs;
};

// The directories of PATH, in order (the system's default when it is unset;
// an empty entry is the current directory, as the shell takes it).
std::vector<std::string> SearchPath();
// Whether a program of that name can be run from a directory along PATH.
bool ProgramOnPath(const std::string &name);

// A file the child opens as its descriptor theirs, before it runs the
// program (the start waits for that: a named pipe without a writer would
// hold both up).
struct ChildFile {
    std::string path;
    int flags;
    int theirs;
};

// Where the child starts and what it is given besides its descriptors: an
// empty directory keeps ours, no environment passes ours on unchanged.
struct ChildOptions {
    std::vector<ChildFile> files; // opened after the descriptors are given
    std::string directory;
    std::optional<std::vector<std::string>> environment; // NAME=value entries
};

// Our environment without the variables named in unset and with the
// NAME=value entries of set (replacing a variable of the same name).
std::vector<std::string> EnvironmentWith(const std::vector<std::string> &unset, const std::vector<std::string> &set);

// Starts arguments[0], looked up along PATH, with the arguments and the
// descriptors given; its process id, or none with the reason in error.
std::optional<pid_t> StartChild(const std::vector<std::string> &arguments,
                                const std::vector<ChildDescriptor> &descriptors, std::string &error,
                                const ChildOptions &options = {});
// Waits for the child to end, through interruptions by signals; its wait
// status, or -1 when there is no such child.
int WaitForChild(pid_t child);
// Whether a wait status is a normal exit with status 0.
bool ExitedCleanly(int status);

// Runs arguments[0] with input on its standard input (its standard error
// thrown away when quiet), and waits for it; whether it took all of the
// input and exited cleanly.
bool RunWithInput(const std::vector<std::string> &arguments, const std::string &input, bool quiet);

} // namespace tesselin

#endif
