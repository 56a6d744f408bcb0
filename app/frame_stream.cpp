#include "app/frame_stream.h"
#include "app/gl_boundary.h"
#include "app/stopwatch.h"

#include <algorithm>

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

FrameStream::FrameStream(const RealGl &gl, std::unique_ptr<GlTarget> left, HostTimes &times)
    : gl_(gl), times_(times), left_(std::move(left))
{
}

FrameStream::~FrameStream()
{
    Pause();
}

void FrameStream::Resume()
{
    left_->MakeCurrent();
    gl::SetContextCurrent(true);
    gl::RecordInto(Records() ? &stream_ : nullptr);
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
    if (twoEyes && right_) {
        // The right eye first catches up with everything the left one had.
        CatchUpRight();
        LoadEyeView(gl_, *right_, view, camera, 1);
    } else {
        mirrored_ = false;
        stream_.Clear();
        right_.reset();
    }
}

void FrameStream::CatchUpRight()
{
    if (!right_)
        return;
    right_->MakeCurrent();
    stream_.Replay();
    stream_.Clear();
}

void FrameStream::FinishFrame()
{
    Pause();
    if (!right_)
        return;
    times_.largestStream = std::max(times_.largestStream, stream_.Bytes());
    Stopwatch watch(times_.replay);
    CatchUpRight();
}

} // namespace tesselin
