#include "app/command_stream.h"

#include <cstring>
#include <utility>

namespace tesselin::gl {

CommandStream::Word *CommandStream::Reserve(std::size_t words)
{
    if (size_ + words > capacity_) {
        std::size_t capacity = capacity_ ? capacity_ : 1 << 16;
        while (capacity < size_ + words)
            capacity *= 2;
        // new[] of a trivial type leaves the words uninitialised: nothing is
        // zeroed only to be overwritten. Its storage is 16-byte aligned.
        std::unique_ptr<Word[]> grown(new Word[capacity]);
        if (size_)
            std::memcpy(grown.get(), words_.get(), size_ * sizeof(Word));
        words_ = std::move(grown);
        capacity_ = capacity;
    }
    return words_.get() + size_;
}

void CommandStream::Replay() const
{
    const Word *p = words_.get(), *end = words_.get() + size_;
    while (p < end) {
        Thunk thunk;
        std::memcpy(&thunk, p, sizeof thunk);
        p = thunk(p + 2);
    }
}

} // namespace tesselin::gl
