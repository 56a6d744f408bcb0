// Room gl/ (floor 2): the OpenGL side of the host: the exported entry points,
// recording and encoding the calls of a frame, replaying them for the right
// eye, and the headless device. May include camera/, picture/ and process/.
//
// The host's OpenGL boundary. The host program defines every OpenGL 1.0-1.2
// entry point itself and exports it (app/gl/exports.cpp), so the plug-in
// module and the GLU library it loads bind to these definitions instead of the
// system's. Each one forwards to the real function; while a stream records
// (app/gl/frame_stream.h decides when) it also appends the call to it. Host code
// makes its own OpenGL calls through RealGl (gl/device.h), never through these
// names, so they are never recorded.
#ifndef TESSELIN_APP_GL_BOUNDARY_H
#define TESSELIN_APP_GL_BOUNDARY_H

#include "app/gl/call_record.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin::gl {

enum class Fn : uint16_t {
#define GL_CALL(kind, ret, name, params, args) name,
#include "app/gl/calls.inc"
#undef GL_CALL
    Count
};

inline constexpr std::size_t FunctionCount = static_cast<std::size_t>(Fn::Count);

std::string_view NameOf(Fn fn);

// Resolves the real function behind every entry point with lookup. Returns
// the names that could not be found (empty when all were).
std::vector<std::string> ResolveEntryPoints(const std::function<void *(const char *)> &lookup);

namespace detail {
extern void *Real[FunctionCount];
}
// The real function behind an entry point (null before ResolveEntryPoints).
inline void *RealEntry(Fn fn) { return detail::Real[static_cast<std::size_t>(fn)]; }

// What the boundary noticed since the host last looked.
struct Notes {
    bool drawn = false;                      // a call that puts something into the frame
    std::optional<Fn> unrepeatable;          // first call a recording could not keep
    std::optional<Fn> withoutContext;        // first call made with no context current
    std::optional<Fn> outOfMemory;           // first call a recording had no memory for
};

// Whoever a stream records for. The boundary calls these inside an exported
// entry point, before the call runs: they must not throw, and must leave the
// plug-in's context current.
class Recorder {
public:
    // The stream holds the number of bytes it was given or more.
    virtual void StreamFull() noexcept = 0;
    // The stream could not grow; recording has stopped and the call is not in it.
    virtual void StreamLost() noexcept = 0;
    // A call was made that the stream cannot hold whole, so replaying it
    // would not repeat it exactly.
    virtual void CallUnrepeatable() noexcept = 0;

protected:
    ~Recorder() = default;
};

// Whether a context of a 3D canvas is current; calls without one are dropped.
void SetContextCurrent(bool current);
bool ContextCurrent();
// Calls are appended to stream while it is set (none stops recording);
// recorder hears when it holds fullAt bytes or more, or loses a call.
void RecordInto(CommandStream *stream, Recorder *recorder = nullptr, std::size_t fullAt = SIZE_MAX);
bool Recording();
Notes &BoundaryNotes();

} // namespace tesselin::gl

#endif
