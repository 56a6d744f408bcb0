#include "tests/window/program_run.h"
#include "tests/render/render_harness.h"
#include "tests/shared/spawn.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace window_test {

namespace {

int Counter = 0;

Started Launch(const std::vector<std::string> &args, const std::string &in, const std::vector<std::string> &unset,
               const std::vector<std::string> &set)
{
    std::string directory = render::ScratchDirectory();
    Started started{-1, directory + "/stderr-" + std::to_string(++Counter) + ".txt"};
    std::vector<std::string> argv = args;
    // Files the program saves on its own land among the test's.
    tesselin::ChildOptions options;
    options.directory = directory;
    options.environment = tesselin::EnvironmentWith(unset, set);
    started.pid = tests::StartChild(argv, {in, "/dev/null", started.errPath}, options);
    return started;
}

} // namespace

Started Start(const std::vector<std::string> &args, const std::string &input, const std::vector<std::string> &unset,
              const std::vector<std::string> &set)
{
    std::string in = render::ScratchDirectory() + "/stdin-" + std::to_string(Counter + 1) + ".txt";
    std::ofstream(in, std::ios::binary) << input;
    std::vector<std::string> argv = {render::ProgramPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return Launch(argv, in, unset, set);
}

Started StartReading(const std::vector<std::string> &args, const std::string &inputPath,
                     const std::vector<std::string> &set)
{
    // The spawn returns only once the child runs its program, and a named
    // pipe's opening waits for its writer, who is our caller after we return:
    // a shell opens it instead, then becomes the program.
    std::vector<std::string> shell = {"/bin/sh", "-c", "input=$1; shift; exec \"$@\" < \"$input\"", "sh",
                                      inputPath, render::ProgramPath()};
    shell.insert(shell.end(), args.begin(), args.end());
    return Launch(shell, "", {}, set);
}

int Wait(const Started &started, double seconds)
{
    if (started.pid <= 0)
        return -1; // never started: there is nothing to wait for, nor to kill
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pid_t done = waitpid(started.pid, &status, WNOHANG);
        if (done == started.pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(started.pid, SIGKILL);
    waitpid(started.pid, &status, 0);
    return -1;
}

bool WaitForMessage(const Started &started, const std::string &fragment, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadText(started.errPath).find(fragment) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string ReadText(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void SaveByRename(const std::string &path, const std::string &text)
{
    std::string temporary = path + ".saving";
    std::ofstream(temporary, std::ios::binary) << text;
    std::filesystem::rename(temporary, path);
}

} // namespace window_test
