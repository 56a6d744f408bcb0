// The exported OpenGL entry points and the command stream behind them. Every
// function of app/gl_calls.inc is defined here under its OpenGL name; the
// executable exports them (see app/gl_exports.list), so the module and GLU
// call these first.
#include "app/gl_boundary.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>
#include <utility>

namespace tesselin::gl {

namespace {

using Word = CommandStream::Word;

std::array<void *, FunctionCount> Real{};
bool Current = false;
bool Oversized = false; // the call being recorded passed more data than is kept
CommandStream *Stream = nullptr;
Notes TheNotes;

constexpr const char *Names[] = {
#define GL_CALL(kind, ret, name, params, args) #name,
#include "app/gl_calls.inc"
#undef GL_CALL
};
static_assert(std::size(Names) == FunctionCount);

} // namespace

std::string_view NameOf(Fn fn)
{
    auto index = static_cast<std::size_t>(fn);
    return index < FunctionCount ? Names[index] : "?";
}

std::vector<std::string> ResolveEntryPoints(const std::function<void *(const char *)> &lookup)
{
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < FunctionCount; i++) {
        Real[i] = lookup(Names[i]);
        if (!Real[i])
            missing.emplace_back(Names[i]);
    }
    return missing;
}

void SetContextCurrent(bool current) { Current = current; }
bool ContextCurrent() { return Current; }
void RecordInto(CommandStream *stream) { Stream = stream; }
bool Recording() { return Stream != nullptr; }
Notes &BoundaryNotes() { return TheNotes; }

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

namespace detail {

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

long NonNegative(long n) { return n > 0 ? n : 0; }

GLint RealInteger(GLenum pname)
{
    GLint value = 0;
    reinterpret_cast<decltype(&::glGetIntegerv)>(Real[std::size_t(Fn::glGetIntegerv)])(pname, &value);
    return value;
}

// Bytes an image of width x height (x depth, for volumes) reads from client
// memory under the current unpack state: row length, skips, alignment, and
// for volumes image height and skipped images.
long UnpackedBytes(long width, long height, long depth, long groupBits, bool volume)
{
    if (width <= 0 || height <= 0 || depth <= 0 || !Current)
        return 0;
    long rowLength = RealInteger(GL_UNPACK_ROW_LENGTH);
    long alignment = std::max<long>(RealInteger(GL_UNPACK_ALIGNMENT), 1);
    long skipPixels = RealInteger(GL_UNPACK_SKIP_PIXELS), skipRows = RealInteger(GL_UNPACK_SKIP_ROWS);
    long imageHeight = volume ? RealInteger(GL_UNPACK_IMAGE_HEIGHT) : 0;
    long skipImages = volume ? RealInteger(GL_UNPACK_SKIP_IMAGES) : 0;
    long pixelsPerRow = rowLength > 0 ? rowLength : width;
    long rowBytes = (pixelsPerRow * groupBits + 7) / 8;
    rowBytes = (rowBytes + alignment - 1) / alignment * alignment;
    long rowsPerImage = imageHeight > 0 ? imageHeight : height;
    long imageBytes = rowBytes * rowsPerImage;
    long lastRowBytes = ((skipPixels + width) * groupBits + 7) / 8;
    return (skipImages + depth - 1) * imageBytes + (skipRows + height - 1) * rowBytes + lastRowBytes;
}

long UnpackedBitmapBytes(long width, long height) { return UnpackedBytes(width, height, 1, 1, false); }

// Bits per pixel of an image of format and type; 0 for a pair OpenGL refuses.
long PixelBits(GLenum format, GLenum type)
{
    long components = 1;
    switch (format) {
    case GL_LUMINANCE_ALPHA: components = 2; break;
    case GL_RGB: case GL_BGR: components = 3; break;
    case GL_RGBA: case GL_BGRA: components = 4; break;
    default: break;
    }
    switch (type) {
    case GL_BITMAP: return components;
    case GL_BYTE: case GL_UNSIGNED_BYTE: return 8 * components;
    case GL_SHORT: case GL_UNSIGNED_SHORT: return 16 * components;
    case GL_INT: case GL_UNSIGNED_INT: case GL_FLOAT: return 32 * components;
    case GL_UNSIGNED_BYTE_3_3_2: case GL_UNSIGNED_BYTE_2_3_3_REV: return 8;
    case GL_UNSIGNED_SHORT_5_6_5: case GL_UNSIGNED_SHORT_5_6_5_REV:
    case GL_UNSIGNED_SHORT_4_4_4_4: case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_5_5_5_1: case GL_UNSIGNED_SHORT_1_5_5_5_REV: return 16;
    case GL_UNSIGNED_INT_8_8_8_8: case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_10_10_10_2: case GL_UNSIGNED_INT_2_10_10_10_REV: return 32;
    default: return 0;
    }
}

long UnpackedImageBytes(long width, long height, GLenum format, GLenum type)
{
    long bits = PixelBits(format, type);
    return bits ? UnpackedBytes(width, height, 1, bits, false) : 0;
}

long UnpackedVolumeBytes(long width, long height, long depth, GLenum format, GLenum type)
{
    long bits = PixelBits(format, type);
    return bits ? UnpackedBytes(width, height, depth, bits, true) : 0;
}

long ListNameBytes(long n, GLenum type)
{
    long size = 0;
    switch (type) {
    case GL_BYTE: case GL_UNSIGNED_BYTE: size = 1; break;
    case GL_SHORT: case GL_UNSIGNED_SHORT: case GL_2_BYTES: size = 2; break;
    case GL_3_BYTES: size = 3; break;
    case GL_INT: case GL_UNSIGNED_INT: case GL_FLOAT: case GL_4_BYTES: size = 4; break;
    default: break;
    }
    return NonNegative(n) * size;
}

// Values read by the vector forms of the parameter calls. A name OpenGL does
// not know is refused by it, so one value is the most it could read.
long LightValues(GLenum pname)
{
    switch (pname) {
    case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_POSITION: return 4;
    case GL_SPOT_DIRECTION: return 3;
    default: return 1;
    }
}
long LightModelValues(GLenum pname) { return pname == GL_LIGHT_MODEL_AMBIENT ? 4 : 1; }
long MaterialValues(GLenum pname)
{
    switch (pname) {
    case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_EMISSION: case GL_AMBIENT_AND_DIFFUSE: return 4;
    case GL_COLOR_INDEXES: return 3;
    default: return 1;
    }
}
long FogValues(GLenum pname) { return pname == GL_FOG_COLOR ? 4 : 1; }
long TexGenValues(GLenum pname) { return pname == GL_OBJECT_PLANE || pname == GL_EYE_PLANE ? 4 : 1; }
long TexEnvValues(GLenum pname) { return pname == GL_TEXTURE_ENV_COLOR ? 4 : 1; }
long TexParameterValues(GLenum pname) { return pname == GL_TEXTURE_BORDER_COLOR ? 4 : 1; }

long EvaluatorComponents(GLenum target)
{
    switch (target) {
    case GL_MAP1_INDEX: case GL_MAP2_INDEX: case GL_MAP1_TEXTURE_COORD_1: case GL_MAP2_TEXTURE_COORD_1: return 1;
    case GL_MAP1_TEXTURE_COORD_2: case GL_MAP2_TEXTURE_COORD_2: return 2;
    case GL_MAP1_VERTEX_3: case GL_MAP2_VERTEX_3: case GL_MAP1_NORMAL: case GL_MAP2_NORMAL:
    case GL_MAP1_TEXTURE_COORD_3: case GL_MAP2_TEXTURE_COORD_3: return 3;
    case GL_MAP1_VERTEX_4: case GL_MAP2_VERTEX_4: case GL_MAP1_COLOR_4: case GL_MAP2_COLOR_4:
    case GL_MAP1_TEXTURE_COORD_4: case GL_MAP2_TEXTURE_COORD_4: return 4;
    default: return 0;
    }
}
long Map1Values(GLenum target, long stride, long order)
{
    long k = EvaluatorComponents(target);
    return k && order >= 1 && stride >= k ? (order - 1) * stride + k : 0;
}
long Map2Values(GLenum target, long ustride, long uorder, long vstride, long vorder)
{
    long k = EvaluatorComponents(target);
    if (!k || uorder < 1 || vorder < 1 || ustride < k || vstride < k)
        return 0;
    return (uorder - 1) * ustride + (vorder - 1) * vstride + k;
}

// Arguments as the real function takes them.
template <typename A> A Pass(A a) { return a; }
template <typename T> const T *Pass(SpanArg<T> s) { return s.data; }
template <typename T> T *Pass(ScratchArg<T> s) { return s.data; }

constexpr Word NullSpan = 0xFFFFFFFFu;

template <typename T> constexpr std::size_t WordsFor(std::size_t bytes) { return (bytes + sizeof(Word) - 1) / sizeof(Word); }

// Most words an argument can take in the stream.
template <typename A> std::size_t Bound(const A &) { return WordsFor<A>(sizeof(A)); }
template <typename T> std::size_t Bound(const SpanArg<T> &s) { return 2 + WordsFor<T>(s.count * sizeof(T)); }
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
    // Nothing OpenGL 1.x reads comes near this; a larger span is not kept.
    constexpr std::size_t Largest = (std::size_t(1) << 30) / sizeof(T);
    Oversized = Oversized || (s.data && s.count > Largest);
    bool kept = s.data && s.count <= Largest;
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

template <Fn F, typename P> P RealFunction() { return reinterpret_cast<P>(Real[std::size_t(F)]); }

template <Fn F, typename P, typename... A> const Word *ReplayCall(const Word *p)
{
    // Braced initialisation reads the arguments strictly in order.
    std::tuple<decltype(Pass(std::declval<A>()))...> args{Reader<A>::Get(p)...};
    std::apply(RealFunction<F, P>(), args);
    return p;
}

using Thunk = const Word *(*)(const Word *);

template <Fn F, typename P, typename... A> void Append(const A &...a)
{
    Word *start = Stream->Reserve(2 + (Bound(a) + ... + 0));
    Word *p = start;
    Thunk thunk = &ReplayCall<F, P, A...>;
    static_assert(sizeof thunk == 2 * sizeof(Word));
    std::memcpy(p, &thunk, sizeof thunk);
    p += 2;
    (Put(p, a), ...);
    Stream->Commit(std::size_t(p - start));
    if (Oversized && !TheNotes.unrepeatable)
        TheNotes.unrepeatable = F;
    Oversized = false;
}

template <Fn F, typename P> ResultOf<P> DropWithoutContext()
{
    if (!TheNotes.withoutContext)
        TheNotes.withoutContext = F;
    return ResultOf<P>();
}

template <Fn F, typename P, typename... A> ResultOf<P> CallRECORD(A... a)
{
    if (!Current) [[unlikely]]
        return DropWithoutContext<F, P>();
    if (Stream) [[unlikely]]
        Append<F, P>(a...);
    return RealFunction<F, P>()(Pass(a)...);
}

template <Fn F, typename P, typename... A> ResultOf<P> CallDRAW(A... a)
{
    if (Current)
        TheNotes.drawn = true;
    return CallRECORD<F, P>(a...);
}

template <Fn F, typename P, typename... A> ResultOf<P> CallQUERY(A... a)
{
    if (!Current) [[unlikely]]
        return DropWithoutContext<F, P>();
    return RealFunction<F, P>()(a...);
}

template <Fn F, typename P, typename... A> ResultOf<P> CallALONE(A... a)
{
    if (!Current) [[unlikely]]
        return DropWithoutContext<F, P>();
    if (Stream && !TheNotes.unrepeatable)
        TheNotes.unrepeatable = F;
    if constexpr (F == Fn::glDrawArrays || F == Fn::glDrawElements || F == Fn::glDrawRangeElements ||
                  F == Fn::glArrayElement)
        TheNotes.drawn = true;
    return RealFunction<F, P>()(a...);
}

} // namespace detail

void CommandStream::Replay() const
{
    const Word *p = words_.get(), *end = words_.get() + size_;
    while (p < end) {
        detail::Thunk thunk;
        std::memcpy(&thunk, p, sizeof thunk);
        p = thunk(p + 2);
    }
}

} // namespace tesselin::gl

using namespace tesselin::gl::detail;
using tesselin::gl::Fn;

#define GL_CALL(kind, ret, name, params, args)                                                    \
    extern "C" __attribute__((visibility("default"))) ret GLAPIENTRY name params                  \
    {                                                                                              \
        return Call##kind<Fn::name, decltype(&::name)> args;                                       \
    }
#include "app/gl_calls.inc"
#undef GL_CALL
