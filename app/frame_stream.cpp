#include "app/frame_stream.h"
#include "app/gl_boundary.h"
#include "app/stopwatch.h"

#include <algorithm>
#include <new>

namespace tesselin {

namespace {

int64_t Clamp(int64_t v, int64_t low, int64_t high) { return std::min(std::max(v, low), high); }

} // namespace

void LoadEyeView(const RealGl &gl, GlTarget &target, const EyeView &view, const Camera &camera, int eye)
{
    target.MakeCurrent();
    // The view's rectangle, top-down in canvas pixels, becomes the viewport.
    const RECT &r = view.viewport;
    constexpr int64_t Limit = 1 << 24;
    int64_t left = Clamp(r.left, -Limit, Limit), right = Clamp(r.right, -Limit, Limit);
    int64_t top = Clamp(r.top, -Limit, Limit), bottom = Clamp(r.bottom, -Limit, Limit);
    int64_t width = std::max<int64_t>(0, right - left), height = std::max<int64_t>(0, bottom - top);
    gl.Viewport(GLint(left), GLint(target.Height() - bottom), GLsizei(width), GLsizei(height));
    double aspect = height > 0 ? double(width) / double(height) : 1.0;
    // The camera's distance also places the plane without parallax.
    Projection eyes = view.projection;
    eyes.distance = CameraDistance(camera, view.projection);
    Matrix projection = EyeProjection(eyes, aspect, view.separation, eye);
    Matrix modelview = CameraView(camera, view.projection);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadMatrixd(projection.data());
    gl.MatrixMode(GL_MODELVIEW);
    gl.LoadMatrixd(modelview.data());
}

FrameStream::FrameStream(const RealGl &gl, std::unique_ptr<GlTarget> left, HostTimes &times,
                         const StreamLimits &limits)
    : gl_(gl), times_(times), limits_(limits), left_(std::move(left))
{
    stream_.SetMostBytes(limits.mostBytes);
}

FrameStream::~FrameStream()
{
    Pause();
}

void FrameStream::Resume()
{
    left_->MakeCurrent();
    gl::SetContextCurrent(true);
    Point();
}

void FrameStream::Point()
{
    if (!Records()) {
        gl::RecordInto(nullptr);
        return;
    }
    std::size_t fullAt = begun_ ? limits_.feedBytes : limits_.beforeViewBytes;
    gl::RecordInto(&stream_, this, fullAt);
}

void FrameStream::Pause()
{
    gl::RecordInto(nullptr);
}

void FrameStream::BeginFrames(const EyeView &view, const Camera &camera, bool twoEyes)
{
    Pause();
    begun_ = true;
    LoadEyeView(gl_, *left_, view, camera, view.stereo ? -1 : 0);
    if (twoEyes && right_ && !lost_) {
        // The right eye first catches up with everything the left one had.
        CatchUpRight();
        LoadEyeView(gl_, *right_, view, camera, 1);
    } else {
        mirrored_ = false;
        stream_.Clear(0);
        right_.reset();
    }
}

void FrameStream::Feed()
{
    right_->MakeCurrent();
    stream_.Replay();
    frameBytes_ += stream_.Bytes();
    Note();
    // A record that grew far past the feeding point (one huge call) gives
    // its storage back.
    stream_.Clear(2 * limits_.feedBytes);
}

void FrameStream::Note() noexcept
{
    times_.heldStream = std::max(times_.heldStream, stream_.HeldBytes());
}

void FrameStream::Lose() noexcept
{
    Note();
    lost_ = true;
    stream_.Clear(0);
    if (!begun_)
        mirrored_ = false;
}

void FrameStream::CatchUpRight()
{
    if (!right_ || lost_)
        return;
    Stopwatch watch(times_.replay);
    try {
        Feed();
    } catch (...) { // out of memory for the scratch space of a repeat
        Lose();
    }
}

void FrameStream::FinishFrame()
{
    Pause();
    CatchUpRight();
    times_.largestStream = std::max(times_.largestStream, frameBytes_);
    frameBytes_ = 0;
    if (lost_)
        right_.reset();
}

void FrameStream::StreamFull() noexcept
{
    if (!begun_) {
        // Too much before any view to keep for a right eye that may never come.
        Note();
        mirrored_ = false;
        stream_.Clear(0);
    } else {
        CatchUpRight();
        left_->MakeCurrent();
    }
    Point();
}

void FrameStream::StreamLost() noexcept
{
    Lose();
    left_->MakeCurrent();
    Point();
}

} // namespace tesselin
