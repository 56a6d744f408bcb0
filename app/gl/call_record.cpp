#include "app/gl/call_record.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace tesselin::gl {

CommandStream::Word *CommandStream::Reserve(std::size_t words) noexcept
{
    if (size_ + words > capacity_) {
        if (words > mostWords_ || size_ > mostWords_ - words)
            return nullptr;
        std::size_t capacity = capacity_ ? capacity_ : 1 << 16;
        while (capacity < size_ + words)
            capacity *= 2;
        capacity = std::min(capacity, std::max(mostWords_, size_ + words));
        // new[] of a trivial type leaves the words uninitialised: nothing is
        // zeroed only to be overwritten. Its storage is 16-byte aligned.
        std::unique_ptr<Word[]> grown(new (std::nothrow) Word[capacity]);
        if (!grown)
            return nullptr;
        if (size_)
            std::memcpy(grown.get(), words_.get(), size_ * sizeof(Word));
        words_ = std::move(grown);
        capacity_ = capacity;
    }
    return words_.get() + size_;
}

void CommandStream::Clear(std::size_t keep)
{
    size_ = 0;
    std::fill(std::begin(marks_), std::end(marks_), 0);
    if (HeldBytes() > keep) {
        words_.reset();
        capacity_ = 0;
    }
}

void CommandStream::Replay(std::size_t from, std::size_t to) const
{
    const Word *p = words_.get() + from, *end = words_.get() + std::min(to, size_);
    while (p < end) {
        Thunk thunk;
        std::memcpy(&thunk, p, sizeof thunk);
        p = thunk(p + 2);
    }
}

} // namespace tesselin::gl
