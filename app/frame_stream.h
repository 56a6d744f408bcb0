// The frames of a 3D canvas: the left eye's rendering context, the right
// eye's in stereo, and the one record of the OpenGL calls the plug-in makes
// for them. This is the only place that decides what the boundary records and
// when, and that plays the record into the right eye.
#ifndef TESSELIN_APP_FRAME_STREAM_H
#define TESSELIN_APP_FRAME_STREAM_H

#include "app/camera.h"
#include "app/command_stream.h"
#include "app/gl_device.h"
#include "app/projection.h"
#include "host/host_table.h"

#include <cstddef>
#include <memory>

namespace tesselin {

// Where the host's own time went, in seconds.
struct HostTimes {
    double contexts = 0; // making rendering contexts and their framebuffers
    double replay = 0;   // repeating frames for the right eye
    double readBack = 0; // copying finished frames into the canvases
    std::size_t largestStream = 0; // bytes of the largest frame recorded for the right eye
};

// The view SetStereoView set up.
struct EyeView {
    Projection projection;
    RECT viewport{}; // top-down canvas pixels; in stereo it may be wider than the canvas
    bool stereo = false;
    double separation = 0;
};

// Loads into target (current afterwards) the viewport, projection and
// modelview of eye (-1 left, +1 right, 0 the single camera) of view as the
// camera sees it.
void LoadEyeView(const RealGl &gl, GlTarget &target, const EyeView &view, const Camera &camera, int eye);

class FrameStream {
public:
    FrameStream(const RealGl &gl, std::unique_ptr<GlTarget> left, HostTimes &times);
    ~FrameStream();
    FrameStream(const FrameStream &) = delete;
    FrameStream &operator=(const FrameStream &) = delete;

    GlTarget &Left() const { return *left_; }
    GlTarget *Right() const { return right_.get(); }
    // Whether a right eye added now can be made to see all the left one has:
    // true until a view without a right eye was begun.
    bool CanAddRightEye() const { return mirrored_; }
    void AddRightEye(std::unique_ptr<GlTarget> right) { right_ = std::move(right); }

    // Makes the left eye's context current for the plug-in, and records its
    // calls while a right eye has them to come.
    void Resume();
    // Records nothing until the next Resume (the host works in between).
    static void Pause();

    // Begins frames seen through view by camera. With twoEyes (a right eye
    // was added) the right eye first catches up with everything the left eye
    // has had; without, the record and any right eye are dropped and the
    // canvas stays a single eye from now on.
    void BeginFrames(const EyeView &view, const Camera &camera, bool twoEyes);
    // Plays into the right eye what it has not had yet.
    void CatchUpRight();
    // Ends a frame: the right eye catches up, so both eyes hold it.
    void FinishFrame();
    // Bytes recorded that the right eye has not had yet.
    std::size_t PendingBytes() const { return stream_.Bytes(); }

private:
    bool Records() const { return mirrored_ && (!begun_ || right_); }

    const RealGl &gl_;
    HostTimes &times_;
    std::unique_ptr<GlTarget> left_, right_;
    gl::CommandStream stream_;
    bool mirrored_ = true; // the right eye can still be made identical
    bool begun_ = false;   // a view was begun
};

} // namespace tesselin

#endif
