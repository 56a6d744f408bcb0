// How one OpenGL call is written into a CommandStream and read back to be
// repeated: per call the routine that repeats it (two words), then its
// arguments, each in whole words. A pointer argument whose size is known is a
// span: its element count, then a copy of its elements.
#ifndef TESSELIN_APP_GL_CALL_ENCODING_H
#define TESSELIN_APP_GL_CALL_ENCODING_H

#include "app/gl/call_record.h"
#include "app/gl/boundary.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace tesselin::gl::encoding {

using Word = CommandStream::Word;
using Thunk = CommandStream::Thunk;

// A pointer argument whose elements are copied into the stream.
template <typename T> struct SpanArg {
    const T *data;
    std::size_t count;
};
// An output array the call writes; a repeat writes into scratch space.
template <typename T> struct ScratchArg {
    T *data;
    std::size_t count;
};

template <typename T> SpanArg<T> Span(const T *data, long count)
{
    return {data, data && count > 0 ? std::size_t(count) : 0};
}
inline SpanArg<uint8_t> Span(const void *data, long count)
{
    return {static_cast<const uint8_t *>(data), data && count > 0 ? std::size_t(count) : 0};
}
template <typename T> ScratchArg<T> Scratch(T *data, long count)
{
    return {data, count > 0 ? std::size_t(count) : 0};
}

// Arguments as the real function takes them.
template <typename A> A Pass(A a) { return a; }
template <typename T> const T *Pass(SpanArg<T> s) { return s.data; }
template <typename T> T *Pass(ScratchArg<T> s) { return s.data; }

constexpr Word NullSpan = 0xFFFFFFFFu;

template <typename T> constexpr std::size_t WordsFor(std::size_t bytes) { return (bytes + sizeof(Word) - 1) / sizeof(Word); }

// Nothing OpenGL 1.x reads comes near this many bytes; a larger span is not kept.
constexpr std::size_t LargestSpanBytes = std::size_t(1) << 30;
template <typename T> bool Kept(const SpanArg<T> &s) { return s.data && s.count <= LargestSpanBytes / sizeof(T); }
// Whether an argument's data can be recorded whole (a null pointer is kept as null).
template <typename A> bool Whole(const A &) { return true; }
template <typename T> bool Whole(const SpanArg<T> &s) { return !s.data || Kept(s); }

// Most words an argument can take in the stream.
template <typename A> std::size_t Bound(const A &) { return WordsFor<A>(sizeof(A)); }
template <typename T> std::size_t Bound(const SpanArg<T> &s)
{
    return 2 + (Kept(s) ? WordsFor<T>(s.count * sizeof(T)) : 0);
}
template <typename T> std::size_t Bound(const ScratchArg<T> &) { return 1; }

template <typename A> void Put(Word *&p, const A &a)
{
    std::memcpy(p, &a, sizeof a);
    p += WordsFor<A>(sizeof a);
}
// A span: its element count (NullSpan for a null pointer), a pad word when
// its elements need 8-byte alignment, then the elements.
template <typename T> void Put(Word *&p, const SpanArg<T> &s)
{
    bool kept = Kept(s);
    *p++ = kept ? Word(s.count) : NullSpan;
    if (!kept)
        return;
    if (alignof(T) > alignof(Word) && reinterpret_cast<uintptr_t>(p) % alignof(T))
        p++;
    std::memcpy(p, s.data, s.count * sizeof(T));
    p += WordsFor<T>(s.count * sizeof(T));
}
template <typename T> void Put(Word *&p, const ScratchArg<T> &s) { *p++ = Word(s.count); }

template <typename A> struct Reader {
    static A Get(const Word *&p)
    {
        A a;
        std::memcpy(&a, p, sizeof a);
        p += WordsFor<A>(sizeof a);
        return a;
    }
};
template <typename T> struct Reader<SpanArg<T>> {
    static const T *Get(const Word *&p)
    {
        Word count = *p++;
        if (count == NullSpan)
            return nullptr;
        if (alignof(T) > alignof(Word) && reinterpret_cast<uintptr_t>(p) % alignof(T))
            p++;
        auto data = reinterpret_cast<const T *>(p);
        p += WordsFor<T>(count * sizeof(T));
        return data;
    }
};
template <typename T> struct Reader<ScratchArg<T>> {
    static T *Get(const Word *&p)
    {
        static std::vector<T> scratch;
        scratch.resize(std::max<std::size_t>(*p++, 1));
        return scratch.data();
    }
};

template <typename P> struct Signature;
template <typename R, typename... X> struct Signature<R (*)(X...)> {
    using Result = R;
};
template <typename P> using ResultOf = typename Signature<P>::Result;

template <Fn F, typename P> P RealFunction() { return reinterpret_cast<P>(RealEntry(F)); }

template <Fn F, typename P, typename... A> const Word *ReplayCall(const Word *p)
{
    // Braced initialisation reads the arguments strictly in order.
    std::tuple<decltype(Pass(std::declval<A>()))...> args{Reader<A>::Get(p)...};
    std::apply(RealFunction<F, P>(), args);
    return p;
}


enum class Encoded {
    Whole,    // the call and all its data
    Partial,  // the call, with some data too large to keep left out
    NoMemory, // nothing: the stream could not grow, and is unchanged
};

// Appends a call of F with arguments a.
template <Fn F, typename P, typename... A> Encoded Encode(CommandStream &stream, const A &...a)
{
    Word *start = stream.Reserve(2 + (Bound(a) + ... + 0));
    if (!start) [[unlikely]]
        return Encoded::NoMemory;
    Word *p = start;
    Thunk thunk = &ReplayCall<F, P, A...>;
    static_assert(sizeof thunk == 2 * sizeof(Word));
    std::memcpy(p, &thunk, sizeof thunk);
    p += 2;
    (Put(p, a), ...);
    stream.Commit(std::size_t(p - start));
    static_assert(std::size_t(F) < CommandStream::MarkCount);
    stream.Mark(std::size_t(F));
    return (Whole(a) && ... && true) ? Encoded::Whole : Encoded::Partial;
}

} // namespace tesselin::gl::encoding

#endif
