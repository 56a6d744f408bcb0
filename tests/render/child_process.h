// The tesselin program as a child process that a test can feed through a
// pipe, signal, limit and time: for behaviour that only shows from outside
// (signals, resource limits, input arriving slowly).
#ifndef TESSELIN_RENDER_CHILD_PROCESS_H
#define TESSELIN_RENDER_CHILD_PROCESS_H

#include "app/process/child_process.h"
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace render {

struct ChildResult {
    bool exited = false;  // ended by exit(), with status
    int status = -1;
    int signal = 0;       // the signal that ended it otherwise
    bool timedOut = false;
    long peakKb = 0;      // the largest resident set it had
    std::string out, err;
};

// What a test changes about how the child starts, besides its arguments.
// Everything is set by programs that run the next one in their own place
// (prlimit, setpriv, both of util-linux), so the process the test waits for
// and measures is the program's own.
struct ChildSetup {
    rlim_t addressSpace = 0; // bytes of address space it may have; 0 no limit
    // Bytes any one file it writes may have; 0 no limit. The signal a write
    // over it raises keeps its default (ending the program): the program
    // ignores it itself, so that the write fails, and a test must see it
    // killed when it does not.
    rlim_t fileSize = 0;
    std::optional<uid_t> user = {}; // runs it as that user and group, no others
    std::vector<std::string> unset = {}, set = {}; // its environment: ours less unset, with set's NAME=value
    // Opened as its descriptors after the pipe and the output files are
    // given, in their place (standard input from a folder, say).
    std::vector<tesselin::ChildFile> files = {};
    bool closedOutput = false; // standard output a pipe that nobody reads
};

class Child {
public:
    // Starts the program with args as setup says. Standard input is a pipe
    // the test writes through Write (closed by CloseInput).
    explicit Child(const std::vector<std::string> &args, const std::string &directory, const ChildSetup &setup = {})
        : outPath_(directory + "/child-out.txt"), errPath_(directory + "/child-err.txt")
    {
        int input[2], output[2] = {-1, -1};
        if (pipe2(input, O_CLOEXEC) != 0)
            return;
        if (setup.closedOutput && pipe2(output, O_CLOEXEC) == 0)
            close(output[0]);
        // What an earlier child in the same folder wrote must not be read as
        // this one's words before it has opened its own files.
        unlink(outPath_.c_str());
        unlink(errPath_.c_str());
        std::vector<tesselin::ChildDescriptor> descriptors = {{input[0], STDIN_FILENO}};
        if (setup.closedOutput)
            descriptors.push_back({output[1], STDOUT_FILENO});
        tesselin::ChildOptions options = Options(setup);
        std::string error;
        auto child = tesselin::StartChild(Command(args, setup), descriptors, error, options);
        if (!child)
            ADD_FAILURE() << error;
        pid_ = child.value_or(-1);
        close(input[0]);
        if (output[1] >= 0)
            close(output[1]);
        input_ = input[1];
    }
    ~Child()
    {
        CloseInput();
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    bool Started() const { return pid_ > 0 && input_ >= 0; }
    bool Write(std::string_view text)
    {
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(input_, text.data() + done, text.size() - done);
            if (n <= 0)
                return false;
            done += std::size_t(n);
        }
        return true;
    }
    void CloseInput()
    {
        if (input_ >= 0)
            close(input_);
        input_ = -1;
    }
    void Signal(int number)
    {
        if (pid_ > 0) // kill(-1) would reach every process we may signal
            kill(pid_, number);
    }
    pid_t Pid() const { return pid_; }
    // What the child has written to standard error so far.
    std::string ErrorSoFar() const { return ReadAll(errPath_); }

    // Waits for the end, at most timeout (then the child is killed).
    ChildResult Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        ChildResult result;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        struct rusage usage {};
        if (pid_ <= 0)
            return result;
        while (wait4(pid_, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                result.timedOut = true;
                kill(pid_, SIGKILL);
                wait4(pid_, &status, 0, &usage);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        reaped_ = true;
        result.peakKb = usage.ru_maxrss;
        result.exited = WIFEXITED(status);
        result.status = result.exited ? WEXITSTATUS(status) : -1;
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.out = ReadAll(outPath_);
        result.err = ReadAll(errPath_);
        return result;
    }

private:
    // Its output and error files (standard output unless that is a pipe),
    // setup's own files after them, and its environment.
    tesselin::ChildOptions Options(const ChildSetup &setup) const
    {
        tesselin::ChildOptions options;
        constexpr int Written = O_WRONLY | O_CREAT | O_TRUNC;
        if (!setup.closedOutput)
            options.files.push_back({outPath_, Written, STDOUT_FILENO});
        options.files.push_back({errPath_, Written, STDERR_FILENO});
        options.files.insert(options.files.end(), setup.files.begin(), setup.files.end());
        if (!setup.unset.empty() || !setup.set.empty())
            options.environment = tesselin::EnvironmentWith(setup.unset, setup.set);
        return options;
    }

    // The program's command line, after the programs that set it up.
    static std::vector<std::string> Command(const std::vector<std::string> &args, const ChildSetup &setup)
    {
        std::vector<std::string> command;
        if (setup.addressSpace || setup.fileSize) {
            command = {"prlimit"};
            if (setup.addressSpace)
                command.push_back("--as=" + std::to_string(setup.addressSpace));
            if (setup.fileSize)
                command.push_back("--fsize=" + std::to_string(setup.fileSize));
            command.push_back("--");
        }
        if (setup.user) {
            std::string id = std::to_string(*setup.user);
            std::vector<std::string> asUser = {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"};
            command.insert(command.end(), asUser.begin(), asUser.end());
        }
        command.push_back(ProgramPath());
        command.insert(command.end(), args.begin(), args.end());
        return command;
    }

    static std::string ReadAll(const std::string &path)
    {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::string outPath_, errPath_;
    pid_t pid_ = -1;
    int input_ = -1;
    bool reaped_ = false;
};

// Waits until condition holds, at most timeout; whether it did.
inline bool WaitUntil(const std::function<bool()> &condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace render

#endif
