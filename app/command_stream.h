// A recorded run of OpenGL calls, ready to be made again in another context
// with the same state. A compact stream of 32-bit words: per call the routine
// that repeats it, then its arguments, with the data behind pointer arguments
// copied in (app/stream_encoding.h writes and reads them).
#ifndef TESSELIN_APP_COMMAND_STREAM_H
#define TESSELIN_APP_COMMAND_STREAM_H

#include <cstddef>
#include <cstdint>
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

    // Runs every recorded call, in order, in the current context.
    void Replay() const;
    void Clear() { size_ = 0; }
    bool Empty() const { return size_ == 0; }
    std::size_t Bytes() const { return size_ * sizeof(Word); }

    // Room for at least words more words at the end; Commit keeps what was used.
    Word *Reserve(std::size_t words);
    void Commit(std::size_t words) { size_ += words; }

private:
    std::unique_ptr<Word[]> words_;
    std::size_t size_ = 0, capacity_ = 0;
};

} // namespace tesselin::gl

#endif
