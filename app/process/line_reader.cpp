#include "app/process/line_reader.h"
#include "app/process/interrupt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tesselin {

namespace {

constexpr std::size_t BlockSize = 64 * 1024;
// A line buffer grown past this by one long line is given back afterwards.
constexpr std::size_t KeptLineCapacity = 1 << 20;

std::string_view WithoutCarriageReturn(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// A line end's carriage return is not part of the line, so a raw line may
// hold one byte more than the limit.
constexpr std::size_t MaxRawLine = MaxLineLength + 1;

} // namespace

std::string LineTooLongMessage()
{
    return "the line is longer than " + std::to_string(MaxLineLength >> 20) +
           " MiB, the most a script line may hold; it is skipped";
}

std::optional<std::string_view> TextLines::Next()
{
    tooLong_ = false;
    if (done_ || rest_.empty())
        return std::nullopt;
    std::size_t end = rest_.find('\n');
    std::string_view line = rest_.substr(0, end);
    if (end == std::string_view::npos) {
        done_ = true;
        rest_ = {};
    } else {
        rest_.remove_prefix(end + 1);
    }
    if (std::exchange(first_, false))
        line = WithoutByteOrderMark(line);
    return Complete(line);
}

std::unique_ptr<LineReader> LineReader::Open(const std::string &path, std::string &error)
{
    bool standardInput = path == "-";
    int fd = standardInput ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    int reason = fd < 0 ? errno : fstat(fd, &status) != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : 0;
    if (reason) {
        error = "cannot read the script " + path + ": " + std::strerror(reason);
        if (fd >= 0 && !standardInput)
            close(fd);
        return nullptr;
    }
    return std::unique_ptr<LineReader>(new LineReader(fd, !standardInput));
}

LineReader::LineReader(int fd, bool owned) : fd_(fd), owned_(owned), buffer_(BlockSize) {}

LineReader::~LineReader()
{
    if (owned_)
        close(fd_);
}

bool LineReader::Fill()
{
    for (;;) {
        // An interrupt is for the caller to act on before more is read.
        if (InterruptPending())
            return false;
        if (idle_) {
            pollfd input{fd_, POLLIN, 0};
            if (poll(&input, 1, 100) == 0) {
                idle_();
                continue;
            }
        }
        ssize_t n = read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            start_ = 0;
            end_ = std::size_t(n);
            return true;
        }
        if (n == 0) {
            ended_ = true;
            return false;
        }
        if (errno == EINTR)
            continue; // the loop's check sees whether it was an interrupt
        // A read error is never the end of the script.
        error_ = std::strerror(errno);
        ended_ = true;
        return false;
    }
}

std::string_view LineSource::Complete(std::string_view line)
{
    line = WithoutCarriageReturn(line);
    if (line.size() <= MaxLineLength)
        return line;
    tooLong_ = true;
    return {};
}

void LineReader::Carry(const char *begin, std::size_t length)
{
    std::size_t needed = line_.size() + length;
    if (needed > line_.capacity())
        line_.reserve(std::min(std::max(needed, 2 * line_.capacity()), MaxRawLine));
    line_.append(begin, length);
}

std::optional<std::string_view> LineReader::Next()
{
    auto line = NextLine();
    if (line && std::exchange(first_, false))
        line = WithoutByteOrderMark(*line);
    return line;
}

std::optional<std::string_view> LineReader::NextLine()
{
    tooLong_ = false;
    // A partial line left by an interrupted read is continued, not lost.
    bool partial = carried_;
    carried_ = false;
    if (!partial) {
        if (line_.capacity() > KeptLineCapacity)
            std::string().swap(line_);
        line_.clear();
    }
    for (;;) {
        if (start_ == end_) {
            if (ended_ || !Fill())
                break;
        }
        const char *begin = buffer_.data() + start_;
        const char *newline = static_cast<const char *>(std::memchr(begin, '\n', end_ - start_));
        std::size_t length = newline ? std::size_t(newline - begin) : end_ - start_;
        start_ += newline ? length + 1 : length;
        if (skipping_) {
            skipping_ = !newline;
            continue;
        }
        if (line_.size() + length > MaxRawLine) {
            // Said as soon as the limit is passed: a line that never ends is
            // reported, not waited for.
            std::string().swap(line_);
            skipping_ = !newline;
            tooLong_ = true;
            return std::string_view();
        }
        if (newline && !partial)
            return Complete({begin, length});
        Carry(begin, length);
        partial = true;
        if (newline)
            return Complete(line_);
    }
    if (!ended_) {
        carried_ = partial; // interrupted: only a complete line runs
        return std::nullopt;
    }
    // The last line may lack its line end; after a read error it is not run.
    if (!partial || !error_.empty())
        return std::nullopt;
    return Complete(line_);
}

} // namespace tesselin
