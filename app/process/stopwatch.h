// Adds the time from its making to its end, in seconds, to a total.
#ifndef TESSELIN_APP_PROCESS_STOPWATCH_H
#define TESSELIN_APP_PROCESS_STOPWATCH_H

#include <chrono>

namespace tesselin {

class Stopwatch {
public:
    explicit Stopwatch(double &total) : total_(total), start_(std::chrono::steady_clock::now()) {}
    ~Stopwatch() { total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
    Stopwatch(const Stopwatch &) = delete;
    Stopwatch &operator=(const Stopwatch &) = delete;

private:
    double &total_;
    std::chrono::steady_clock::time_point start_;
};

} // namespace tesselin

#endif
