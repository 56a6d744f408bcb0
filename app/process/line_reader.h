// Reading a script one line at a time, as the lines arrive: a script piped
// in by a generator runs each line as soon as it is complete, and memory
// does not grow with the script's length. Splitting a line into tokens is
// not done here (see script/tokenizer.h).
//
// One line holds at most MaxLineLength bytes. A longer one (a file with no
// line ends, /dev/zero, a generator gone wrong) is not held: the reader says
// so at once and skips what is left of it up to its line end, so memory stays
// within the limit and a block, whatever arrives.
#ifndef TESSELIN_APP_PROCESS_LINE_READER_H
#define TESSELIN_APP_PROCESS_LINE_READER_H

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin {

// text without the UTF-8 byte-order mark an editor (Notepad) may write at
// the start of a file; the mark is no part of the first command.
inline std::string_view WithoutByteOrderMark(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return text;
}

// The longest script line any reader takes (run, check, view, the command
// window, editors' tools), without its line end: far above any real script,
// low enough that every reader can hold a line of it.
inline constexpr std::size_t MaxLineLength = std::size_t(16) << 20; // 16 MiB

// What is said about a line over MaxLineLength, after "FILE:LINE: Error! ".
std::string LineTooLongMessage();

// Where the lines of a script come from.
class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line without its line end (LF or CR LF); none at the end of
    // input, or when reading failed (then Error says why). The text stays
    // valid until the next call.
    virtual std::optional<std::string_view> Next() = 0;
    // Why the lines ended early; empty when the input simply ended.
    virtual std::string Error() const { return {}; }
    // True when the line Next just gave was longer than MaxLineLength: it
    // comes back empty, and the rest of it is skipped by the next call.
    bool TooLong() const { return tooLong_; }

protected:
    // line without its carriage return, or empty and TooLong when it is
    // longer than MaxLineLength.
    std::string_view Complete(std::string_view line);
    bool tooLong_ = false;
};

// The lines of a text held in memory.
class TextLines final : public LineSource {
public:
    explicit TextLines(std::string_view text) : rest_(text) {}
    std::optional<std::string_view> Next() override;

private:
    std::string_view rest_;
    bool done_ = false;
    bool first_ = true;
};

// The lines of a file or of standard input, read in blocks with read(2).
class LineReader final : public LineSource {
public:
    // Opens path, or standard input for "-". None, with the reason in error,
    // for a path that cannot be opened or that is a folder.
    static std::unique_ptr<LineReader> Open(const std::string &path, std::string &error);
    // Reads fd, which stays open.
    explicit LineReader(int fd) : LineReader(fd, false) {}
    ~LineReader() override;
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    std::optional<std::string_view> Next() override;
    std::string Error() const override { return error_; }
    // While nothing arrives, idle runs about ten times a second (a live
    // canvas window looks after its events so).
    void SetIdle(std::function<void()> idle) { idle_ = std::move(idle); }

private:
    LineReader(int fd, bool owned);
    // Next before the byte-order mark is taken off.
    std::optional<std::string_view> NextLine();
    // Reads more into the buffer; false at the end or on an error.
    bool Fill();
    // Adds length bytes at begin to the line that spans blocks, growing it
    // by doubling but never past what the longest line needs.
    void Carry(const char *begin, std::size_t length);

    int fd_;
    bool owned_;
    std::vector<char> buffer_;
    std::size_t start_ = 0, end_ = 0;
    std::string line_; // a line that spans more than one block
    bool carried_ = false; // line_ holds the start of a line
    bool skipping_ = false; // the rest of a line over the limit is dropped
    bool ended_ = false;
    bool first_ = true; // the first line may begin with a byte-order mark
    std::string error_;
    std::function<void()> idle_;
};

} // namespace tesselin

#endif
