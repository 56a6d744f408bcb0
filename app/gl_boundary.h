// The host's OpenGL boundary. The host program defines every OpenGL 1.0-1.2
// entry point itself and exports it, so the plug-in module and the GLU library
// it loads bind to these definitions instead of the system's. Each one forwards
// to the real function; while a stereo frame is being modelled it also appends
// the call to a command stream, which the host replays into the right eye's
// rendering context. Host code makes its own OpenGL calls through RealGl
// (gl_device.h), never through these names, so they are never recorded.
#ifndef TESSELIN_APP_GL_BOUNDARY_H
#define TESSELIN_APP_GL_BOUNDARY_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesselin::gl {

enum class Fn : uint16_t {
#define GL_CALL(kind, ret, name, params, args) name,
#include "app/gl_calls.inc"
#undef GL_CALL
    Count
};

inline constexpr std::size_t FunctionCount = static_cast<std::size_t>(Fn::Count);

std::string_view NameOf(Fn fn);

// Resolves the real function behind every entry point with lookup. Returns
// the names that could not be found (empty when all were).
std::vector<std::string> ResolveEntryPoints(const std::function<void *(const char *)> &lookup);

// The OpenGL calls of one frame, as the plug-in made them, ready to be made
// again in another context with the same state. A compact stream of 32-bit
// words: per call the replaying routine, then its arguments, with the data
// behind pointer arguments copied in.
class CommandStream {
public:
    using Word = uint32_t;
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

// What the boundary noticed since the host last looked.
struct Notes {
    bool drawn = false;                      // a call that puts something into the frame
    std::optional<Fn> unrepeatable;          // first call a recording could not keep
    std::optional<Fn> withoutContext;        // first call made with no context current
};

// Whether a context of a 3D canvas is current; calls without one are dropped.
void SetContextCurrent(bool current);
bool ContextCurrent();
// Calls are appended to stream while it is set (none stops recording).
void RecordInto(CommandStream *stream);
bool Recording();
Notes &BoundaryNotes();

} // namespace tesselin::gl

#endif
