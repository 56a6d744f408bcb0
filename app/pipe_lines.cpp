#include "app/pipe_lines.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tesselin {

namespace {

std::string Pending;
bool Ended = false;

} // namespace

std::optional<std::string> NextPipeLine(const std::function<void()> &idle)
{
    for (;;) {
        if (auto end = Pending.find('\n'); end != std::string::npos) {
            std::string line = Pending.substr(0, end);
            Pending.erase(0, end + 1);
            return line;
        }
        if (Ended) {
            if (Pending.empty())
                return std::nullopt;
            return std::exchange(Pending, std::string());
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        while (idle && poll(&input, 1, 100) == 0)
            idle();
        char buffer[4096];
        ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            Ended = true;
        else
            Pending.append(buffer, std::size_t(got));
    }
}

} // namespace tesselin
