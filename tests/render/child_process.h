// The tesselin program as a child process that a test can feed through a
// pipe, signal, limit and time: for behaviour that only shows from outside
// (signals, resource limits, input arriving slowly).
#ifndef TESSELIN_RENDER_CHILD_PROCESS_H
#define TESSELIN_RENDER_CHILD_PROCESS_H

#include "tests/render/render_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
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

class Child {
public:
    // Starts the program with args. Standard input is a pipe the test writes
    // through Write (closed by CloseInput); beforeExec runs in the child.
    explicit Child(const std::vector<std::string> &args, const std::string &directory,
                   const std::function<void()> &beforeExec = {})
        : outPath_(directory + "/child-out.txt"), errPath_(directory + "/child-err.txt")
    {
        int input[2];
        if (pipe2(input, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> argv = {ProgramPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        // What an earlier child in the same folder wrote must not be read as
        // this one's words before it has opened its own files.
        unlink(outPath_.c_str());
        unlink(errPath_.c_str());
        pid_ = fork();
        if (pid_ == 0) {
            dup2(input[0], 0);
            int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            if (beforeExec)
                beforeExec();
            std::vector<char *> pointers;
            for (auto &arg : argv)
                pointers.push_back(arg.data());
            pointers.push_back(nullptr);
            execv(pointers[0], pointers.data());
            _exit(127);
        }
        close(input[0]);
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
    void Signal(int number) { kill(pid_, number); }
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
