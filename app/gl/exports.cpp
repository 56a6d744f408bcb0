// The exported OpenGL entry points. Every function of app/gl/calls.inc is
// defined here under its OpenGL name; the executable exports them (see
// app/gl/exports.list), so the module and GLU call these first. Each forwards
// to the real function and, while a stream records, appends the call to it.
#include "app/gl/arg_sizes.h"
#include "app/gl/boundary.h"
#include "app/gl/call_encoding.h"
#include "app/gl/context_reset.h"

#include <GL/gl.h>

#include <array>

namespace tesselin::gl {

namespace detail {
void *Real[FunctionCount] = {};
}

namespace {

bool Current = false;
CommandStream *Stream = nullptr;
Recorder *StreamRecorder = nullptr;
std::size_t FullAt = SIZE_MAX;
Notes TheNotes;

constexpr const char *Names[] = {
#define GL_CALL(kind, ret, name, params, args) #name,
#include "app/gl/calls.inc"
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
        detail::Real[i] = lookup(Names[i]);
        if (!detail::Real[i])
            missing.emplace_back(Names[i]);
    }
    return missing;
}

void SetContextCurrent(bool current) { Current = current; }
bool ContextCurrent() { return Current; }
void RecordInto(CommandStream *stream, Recorder *recorder, std::size_t fullAt)
{
    Stream = stream;
    StreamRecorder = recorder;
    FullAt = fullAt;
}
bool Recording() { return Stream != nullptr; }
Notes &BoundaryNotes() { return TheNotes; }

namespace exports {

using namespace encoding;

void NoteUnrepeatable(Fn fn)
{
    if (!TheNotes.unrepeatable)
        TheNotes.unrepeatable = fn;
    if (StreamRecorder)
        StreamRecorder->CallUnrepeatable();
}

template <Fn F, typename P, typename... A> void Record(const A &...a)
{
    switch (Encode<F, P>(*Stream, a...)) {
    case Encoded::Whole:
        break;
    case Encoded::Partial:
        NoteUnrepeatable(F);
        break;
    case Encoded::NoMemory:
        if (!TheNotes.outOfMemory)
            TheNotes.outOfMemory = F;
        Stream = nullptr;
        if (StreamRecorder)
            StreamRecorder->StreamLost();
        return;
    }
    // What a reset of the context would have to undo (app/gl/context_reset.h).
    if constexpr (F == Fn::glEnable || F == Fn::glDisable) {
        if (!ResettableCapability(a...))
            Stream->Mark(OtherCapabilityMark);
    }
    if (Stream->Bytes() >= FullAt && StreamRecorder) [[unlikely]]
        StreamRecorder->StreamFull();
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
        Record<F, P>(a...);
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
    if (Stream)
        NoteUnrepeatable(F);
    if constexpr (F == Fn::glDrawArrays || F == Fn::glDrawElements || F == Fn::glDrawRangeElements ||
                  F == Fn::glArrayElement)
        TheNotes.drawn = true;
    return RealFunction<F, P>()(a...);
}

} // namespace exports

} // namespace tesselin::gl

using namespace tesselin::gl::exports;
using namespace tesselin::gl::sizes;
using tesselin::gl::Fn;

#define GL_CALL(kind, ret, name, params, args)                                                    \
    extern "C" __attribute__((visibility("default"))) ret GLAPIENTRY name params                  \
    {                                                                                              \
        return Call##kind<Fn::name, decltype(&::name)> args;                                       \
    }
#include "app/gl/calls.inc"
#undef GL_CALL
