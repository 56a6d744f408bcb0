// A small fixed-function OpenGL that keeps geometry instead of drawing it.
// A 3D canvas's record of OpenGL calls is played into it (FrameStream::Walk)
// and it follows the matrix stack, the current normal and colour, materials,
// the light, polygon mode, front face and culling as OpenGL would, collecting
// every point, line and triangle in world coordinates: the views the host
// sets up (its camera and orbit) are taken out, so only the script's own
// modelling transforms remain.
#ifndef TESSELIN_APP_EXPORT_FIXED_FUNCTION_H
#define TESSELIN_APP_EXPORT_FIXED_FUNCTION_H

#include "app/export/model.h"
#include "app/gl/frame_stream.h"

#include <functional>
#include <memory>

namespace tesselin {

class FixedFunction {
public:
    FixedFunction();
    ~FixedFunction();
    FixedFunction(const FixedFunction &) = delete;
    FixedFunction &operator=(const FixedFunction &) = delete;

    // Plays calls into this reader: walk is handed the table of functions to
    // play them into and the hook for view marks, and returns whether it
    // played. A later read carries on from the state an earlier one left.
    using Walker = std::function<bool(const FrameStream::Calls &, const FrameStream::ViewSeen &)>;
    bool Read(const Walker &walk);
    // What the canvas shows now: everything drawn since its colour was last cleared.
    const Model &Current();

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace tesselin

#endif
