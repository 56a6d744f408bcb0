#include "app/gl/frame_stream.h"
#include "app/gl/boundary.h"
#include "app/gl/context_reset.h"
#include "app/process/stopwatch.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tesselin {

namespace {

using Word = gl::CommandStream::Word;

int64_t Clamp(int64_t v, int64_t low, int64_t high) { return std::min(std::max(v, low), high); }

// What a view mark loads when it is played: set by FrameStream::Play for the
// context it plays into.
struct MarkPlayer {
    const RealGl *gl = nullptr;
    GlTarget *target = nullptr;
    const std::vector<EyeView> *views = nullptr;
    const Camera *camera = nullptr;
    int eye = 0; // -1 or +1: the eye of a stereo view; a mono view has one camera
    const FrameStream::ViewSeen *onView = nullptr; // a walk: marks go here instead
};
MarkPlayer Player;

const Word *PlayViewMark(const Word *p)
{
    const EyeView &view = (*Player.views)[*p++];
    if (Player.onView) {
        (*Player.onView)(view);
        return p;
    }
    LoadEyeView(*Player.gl, *Player.target, view, *Player.camera, view.stereo ? Player.eye : 0);
    return p;
}

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
    : gl_(gl), times_(times), limits_(limits), left_(std::move(left)), keeping_(limits.keepBytes > 0)
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
    std::size_t fullAt = keeping_ ? limits_.keepBytes : std::numeric_limits<std::size_t>::max();
    if (Mirrors() && begun_)
        fullAt = std::min(fullAt, fed_ * sizeof(Word) + limits_.feedBytes);
    else if (Mirrors() && !keeping_)
        fullAt = std::min(fullAt, limits_.beforeViewBytes);
    gl::RecordInto(&stream_, this, fullAt);
}

void FrameStream::Pause()
{
    gl::RecordInto(nullptr);
}

bool FrameStream::MarkView(std::size_t index)
{
    Word *p = stream_.Reserve(3);
    if (!p)
        return false;
    gl::CommandStream::Thunk thunk = &PlayViewMark;
    static_assert(sizeof thunk == 2 * sizeof(Word));
    std::memcpy(p, &thunk, sizeof thunk);
    p[2] = Word(index);
    stream_.Commit(3);
    return true;
}

void FrameStream::BeginFrames(const EyeView &view, const Camera &camera, bool twoEyes)
{
    Pause();
    begun_ = true;
    camera_ = camera;
    if (!(twoEyes && right_ && !lost_)) {
        mirrored_ = false;
        right_.reset();
        if (!keeping_) {
            stream_.Clear(0);
            grouped_.Clear();
            fed_ = 0;
        }
    }
    // The mark loads the view into the right eye as it catches up, and into
    // the contexts of a redraw.
    if (Records()) {
        views_.push_back(view);
        if (!MarkView(views_.size() - 1))
            Lose();
    }
    LoadEyeView(gl_, *left_, view, camera, view.stereo ? -1 : 0);
    CatchUpRight();
}

void FrameStream::Play(GlTarget &target, int eye, std::size_t from, std::size_t to)
{
    Player = {&gl_, &target, &views_, &camera_, eye};
    target.MakeCurrent();
    stream_.Replay(from, to);
}

void FrameStream::PlayFrame(GlTarget &target, int eye)
{
    Player = {&gl_, &target, &views_, &camera_, eye};
    target.MakeCurrent();
    // The first redraw of a frame groups it; the next ones draw the groups.
    if (grouped_.Made() && grouped_.To() == finished_)
        grouped_.Play(stream_);
    else
        grouped_.PlayAndGroup(stream_, 0, finished_);
}

void FrameStream::Feed()
{
    std::size_t end = stream_.Words();
    Play(*right_, 1, fed_, end);
    frameBytes_ += (end - fed_) * sizeof(Word);
    fed_ = end;
    Note();
    if (!keeping_) {
        // A record that grew far past the feeding point (one huge call)
        // gives its storage back.
        stream_.Clear(2 * limits_.feedBytes);
        fed_ = 0;
    }
}

void FrameStream::Note() noexcept
{
    times_.heldStream = std::max(times_.heldStream, stream_.HeldBytes());
}

void FrameStream::Lose() noexcept
{
    Note();
    lostRight_ = lostRight_ || Mirrors();
    lost_ = true;
    keeping_ = false;
    finished_ = 0;
    stream_.Clear(0);
    grouped_.Clear();
    fed_ = 0;
    if (!begun_)
        mirrored_ = false;
}

void FrameStream::DropKept()
{
    Note();
    keeping_ = false;
    finished_ = 0;
    if (Mirrors() && begun_) {
        CatchUpRight(); // and drops what it fed
    } else {
        // Before any view, calls beyond the budget are too many to keep for
        // a right eye that may never come.
        mirrored_ = mirrored_ && begun_;
        stream_.Clear(0);
        grouped_.Clear();
        fed_ = 0;
    }
}

void FrameStream::CatchUpRight()
{
    if (!right_ || lost_ || !mirrored_)
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
    Note();
    if (lost_)
        right_.reset();
    if (keeping_)
        finished_ = stream_.Words();
}

void FrameStream::PlayRedraw(GlTarget &left, GlTarget *right, const ReadFrame &read, std::size_t end)
{
    PlayFrame(left, -1);
    if (right)
        PlayFrame(*right, 1);
    read(left, right);
    // The calls after the frame too, so the eyes carry on where they were.
    Play(left, -1, finished_, end);
    if (right)
        Play(*right, 1, finished_, end);
}

bool FrameStream::RedrawInPlace(const ReadFrame &read, std::size_t end)
{
    GlTarget *right = Right();
    {
        Stopwatch watch(times_.contexts);
        if (!left_->Reset() || (right && !right->Reset()))
            return false;
    }
    try {
        PlayRedraw(*left_, right, read, end);
    } catch (...) {
        return false;
    }
    return true;
}

bool FrameStream::Redraw(const Camera &camera, const MakeTarget &make, const ReadFrame &read)
{
    if (!CanRedraw())
        return false;
    bool twoEyes = Right() != nullptr;
    Pause();
    Camera before = camera_;
    camera_ = camera;
    std::size_t end = stream_.Words();
    // Only a frame grouped already: grouping it takes memory that may run out.
    bool inPlace = grouped_.Made() && grouped_.To() == finished_ && ResetUndoes(stream_);
    if (inPlace && RedrawInPlace(read, end)) {
        times_.redrawsInPlace++;
        fed_ = end;
        return true;
    }
    std::unique_ptr<GlTarget> left, right;
    bool drawn = false;
    try {
        left = make();
        if (left && twoEyes)
            right = make();
        if (left && (!twoEyes || right)) {
            PlayRedraw(*left, right.get(), read, end);
            drawn = true;
        }
    } catch (...) {
    }
    if (!drawn) {
        camera_ = before;
        // A failed attempt in place left the eyes reset or part drawn: they
        // get the whole record again, as they had it.
        if (inPlace) {
            for (GlTarget *eye : {left_.get(), twoEyes ? right_.get() : nullptr})
                if (eye && eye->Reset())
                    Play(*eye, eye == left_.get() ? -1 : 1, 0, end);
        }
        return false;
    }
    left_ = std::move(left);
    if (twoEyes)
        right_ = std::move(right);
    fed_ = end;
    return true;
}

// Puts other functions behind the entry points while it lives.
class SwappedEntries {
public:
    explicit SwappedEntries(const FrameStream::Calls &calls)
    {
        std::copy(std::begin(gl::detail::Real), std::end(gl::detail::Real), saved_.begin());
        std::copy(calls.begin(), calls.end(), std::begin(gl::detail::Real));
    }
    ~SwappedEntries() { std::copy(saved_.begin(), saved_.end(), std::begin(gl::detail::Real)); }
    SwappedEntries(const SwappedEntries &) = delete;
    SwappedEntries &operator=(const SwappedEntries &) = delete;

private:
    FrameStream::Calls saved_{};
};

bool FrameStream::Walk(const Calls &calls, const ViewSeen &onView, std::size_t from) const
{
    if (!CanRedraw() || from > finished_)
        return false;
    Pause();
    MarkPlayer before = Player;
    Player = {&gl_, nullptr, &views_, &camera_, 0, &onView};
    try {
        SwappedEntries swapped(calls);
        stream_.Replay(from, finished_);
    } catch (...) {
        Player = before;
        throw;
    }
    Player = before;
    return true;
}

void FrameStream::StreamFull() noexcept
{
    try {
        if (keeping_ && stream_.Bytes() >= limits_.keepBytes)
            DropKept();
        if (Mirrors() && begun_ && stream_.Bytes() >= fed_ * sizeof(Word) + limits_.feedBytes) {
            CatchUpRight();
        } else if (Mirrors() && !begun_ && !keeping_ && stream_.Bytes() >= limits_.beforeViewBytes) {
            // Too much before any view to keep for a right eye that may never come.
            Note();
            mirrored_ = false;
            stream_.Clear(0);
            grouped_.Clear();
            fed_ = 0;
        }
    } catch (...) {
        Lose();
    }
    left_->MakeCurrent();
    Point();
}

void FrameStream::StreamLost() noexcept
{
    Lose();
    left_->MakeCurrent();
    Point();
}

} // namespace tesselin
