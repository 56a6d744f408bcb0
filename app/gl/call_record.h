// A recorded run of OpenGL calls, ready to be made again in another context
// with the same state. A compact stream of 32-bit words: per call the routine
// that repeats it, then its arguments, with the data behind pointer arguments
// copied in (app/gl/call_encoding.h writes and reads them).
#ifndef TESSELIN_APP_GL_CALL_RECORD_H
#define TESSELIN_APP_GL_CALL_RECORD_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

namespace tesselin::gl {

class CommandStream {
public:
    using Word = uint32_t;
    // Repeats one call whose arguments start at p; returns where the next call starts.
    using Thunk = const Word *(*)(const Word *p);

    CommandStream() = default;
    CommandStream(const CommandStream &) = delete;
    CommandStream &operator=(const CommandStream &) = delete;

    // Runs every recorded call, in order, in the current context; or those
    // from word offset from up to word offset to (each the start of a call
    // or the end).
    void Replay() const { Replay(0, size_); }
    void Replay(std::size_t from, std::size_t to) const;
    // Forgets every call; the storage is kept for the next ones unless it
    // grew past keep bytes.
    void Clear(std::size_t keep = std::numeric_limits<std::size_t>::max());
    bool Empty() const { return size_ == 0; }
    // The recorded words, for reading the calls without making them.
    const Word *Data() const { return words_.get(); }
    std::size_t Words() const { return size_; }
    std::size_t Bytes() const { return size_ * sizeof(Word); }
    // Reserve fails rather than hold more than bytes of storage.
    void SetMostBytes(std::size_t bytes) { mostWords_ = bytes / sizeof(Word); }
    // Bytes of storage held, used or not.
    std::size_t HeldBytes() const { return capacity_ * sizeof(Word); }

    // Room for at least words more words at the end, or null when the memory
    // cannot be had (the stream is unchanged then); Commit keeps what was used.
    Word *Reserve(std::size_t words) noexcept;
    void Commit(std::size_t words) { size_ += words; }

    // Flags the writer of the calls sets to say what kinds of call the
    // stream holds (the encoder: each call's function); cleared with the calls.
    static constexpr std::size_t MarkCount = 512;
    void Mark(std::size_t flag) { marks_[flag / 64] |= uint64_t(1) << (flag % 64); }
    bool Marked(std::size_t flag) const { return marks_[flag / 64] >> (flag % 64) & 1; }

private:
    std::unique_ptr<Word[]> words_;
    std::size_t size_ = 0, capacity_ = 0;
    std::size_t mostWords_ = std::numeric_limits<std::size_t>::max() / sizeof(Word) / 2;
    uint64_t marks_[MarkCount / 64] = {};
};

} // namespace tesselin::gl

#endif
