// The tesselin program started from a test: in the background, with its
// environment changed, and stopped if it does not end in time.
#ifndef TESSELIN_TESTS_WINDOW_PROGRAM_RUN_H
#define TESSELIN_TESTS_WINDOW_PROGRAM_RUN_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace window_test {

struct Started {
    pid_t pid = -1;
    std::string errPath; // the program's standard error
};

// Starts the program with args in the test's scratch folder; names in unset are removed from its
// environment, and "NAME=value" in set are put in. Standard input is input.
Started Start(const std::vector<std::string> &args, const std::string &input = {},
              const std::vector<std::string> &unset = {}, const std::vector<std::string> &set = {});
// Starts the program with args reading standard input from the file (or
// named pipe) at inputPath, with "NAME=value" in set put in its environment.
Started StartReading(const std::vector<std::string> &args, const std::string &inputPath,
                     const std::vector<std::string> &set = {});

// Waits up to seconds for the program to end; its exit status, or -1 when
// it had to be killed.
int Wait(const Started &started, double seconds);

// Waits up to seconds until the program's standard error contains fragment.
bool WaitForMessage(const Started &started, const std::string &fragment, double seconds);

std::string ReadText(const std::string &path);
// Replaces path's content the way many editors save: a new file renamed over it.
void SaveByRename(const std::string &path, const std::string &text);

} // namespace window_test

#endif
