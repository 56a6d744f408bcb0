// The frames of a 3D canvas: the left eye's rendering context, the right
// eye's in stereo, and the one record of the OpenGL calls the plug-in makes
// for them. This is the only place that decides what the boundary records and
// when, and that plays the record into the right eye.
//
// The right eye is fed as the record grows: whenever feedBytes are waiting
// (and at the end of every frame) they are played into its context and
// dropped, so a stereo frame needs a mono frame's memory and a few MB more.
//
// Within keepBytes the record is kept whole instead, from the birth of the
// left eye's context, with the points where a view was set up marked in it:
// played into new contexts it redraws the last finished frame, both eyes,
// with another camera.
#ifndef TESSELIN_APP_GL_FRAME_STREAM_H
#define TESSELIN_APP_GL_FRAME_STREAM_H

#include "app/camera/camera.h"
#include "app/gl/call_groups.h"
#include "app/gl/call_record.h"
#include "app/gl/boundary.h"
#include "app/gl/device.h"
#include "app/camera/projection.h"
#include "host/host_table.h"

#include <array>
#include <cstddef>
#include <limits>
#include <functional>
#include <memory>
#include <vector>

namespace tesselin {

// Where the host's own time went, in seconds, and what the record held.
struct HostTimes {
    double contexts = 0; // making rendering contexts and their framebuffers
    double replay = 0;   // repeating frames for the right eye
    double readBack = 0; // copying finished frames into the canvases
    std::size_t largestStream = 0; // bytes recorded for the right eye in the largest frame
    std::size_t heldStream = 0;    // most bytes the record held at once
    std::size_t redrawsInPlace = 0; // redraws played into the contexts that drew the frame
};

// How much the record may hold.
struct StreamLimits {
    // The right eye is fed when this many bytes wait for it.
    std::size_t feedBytes = std::size_t(3) << 20;
    // Before any view is set up, calls are kept for a right eye that may come;
    // past this many bytes a right eye can no longer be added.
    std::size_t beforeViewBytes = std::size_t(64) << 20;
    // The whole record is kept for redrawing while it holds at most this
    // many bytes; 0 keeps none.
    std::size_t keepBytes = std::size_t(256) << 20;
    // The record never takes more than this; a call it cannot take is lost
    // as if memory had run out.
    std::size_t mostBytes = std::numeric_limits<std::size_t>::max();
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

class FrameStream final : private gl::Recorder {
public:
    FrameStream(const RealGl &gl, std::unique_ptr<GlTarget> left, HostTimes &times, const StreamLimits &limits);
    ~FrameStream();
    FrameStream(const FrameStream &) = delete;
    FrameStream &operator=(const FrameStream &) = delete;

    GlTarget &Left() const { return *left_; }
    // The right eye, while it shows what the left one does.
    GlTarget *Right() const { return lost_ ? nullptr : right_.get(); }
    // Whether a right eye added now can be made to see all the left one has:
    // true until a view without a right eye was begun.
    bool CanAddRightEye() const { return mirrored_ && !lost_; }
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
    // Ends a frame: the right eye catches up, so both eyes hold it. A right
    // eye that missed a call for want of memory is dropped here.
    void FinishFrame();
    // Whether memory ran out while the right eye still had calls to come.
    bool LostRightEye() const { return lostRight_; }
    // Whether the last finished frame can be redrawn.
    bool CanRedraw() const { return keeping_ && finished_ > 0 && !lost_ && !unrepeatable_; }
    // Redraws the last finished frame seen by camera into both eyes of this
    // canvas; read takes the frame from them. The eyes then carry on for the
    // plug-in, with camera for the frames to come. Once a redraw has grouped
    // the frame, and when a reset undoes every call in the record, the frame
    // is played into the contexts that drew it, put back as they were born;
    // otherwise into new targets from make (in the state a new context
    // starts in), which replace them. False, with nothing changed, when the
    // frame cannot be redrawn.
    using MakeTarget = std::function<std::unique_ptr<GlTarget>()>;
    using ReadFrame = std::function<void(GlTarget &left, GlTarget *right)>;
    bool Redraw(const Camera &camera, const MakeTarget &make, const ReadFrame &read);

    // Plays the record from word from up to the end of the last finished
    // frame into calls instead of OpenGL: while it plays, the function behind
    // each entry point is calls[fn] (of that entry point's type), and a view
    // mark hands its view to onView instead of loading it. False, with
    // nothing played, when the record does not hold that frame whole.
    using Calls = std::array<void *, gl::FunctionCount>;
    using ViewSeen = std::function<void(const EyeView &view)>;
    bool Walk(const Calls &calls, const ViewSeen &onView, std::size_t from = 0) const;
    // Words of the record up to the end of the last finished frame.
    std::size_t FinishedWords() const { return finished_; }

private:
    // The right eye wants the calls: it exists, or may still be added.
    bool Mirrors() const { return mirrored_ && (!begun_ || right_); }
    bool Records() const { return !lost_ && (Mirrors() || keeping_); }
    // Appends a mark that loads the view views_[index] when played.
    bool MarkView(std::size_t index);
    // Plays the record from word from to word to into target as eye.
    void Play(GlTarget &target, int eye, std::size_t from, std::size_t to);
    // Plays the last finished frame into left and right (none for one eye),
    // has read take it, then plays the calls after it up to word end.
    void PlayRedraw(GlTarget &left, GlTarget *right, const ReadFrame &read, std::size_t end);
    // Redraws into the eyes as they are, reset; false when it could not.
    bool RedrawInPlace(const ReadFrame &read, std::size_t end);
    // Plays the last finished frame, grouped into vertex arrays, into target as eye.
    void PlayFrame(GlTarget &target, int eye);
    void DropKept();
    // Points the boundary at the record when it records, else at nothing.
    void Point();
    // Replays the record into the right eye and drops it; may throw.
    void Feed();
    void Lose() noexcept;
    void Note() noexcept;
    void StreamFull() noexcept override;
    void StreamLost() noexcept override;
    void CallUnrepeatable() noexcept override { unrepeatable_ = true; }

    const RealGl &gl_;
    HostTimes &times_;
    StreamLimits limits_;
    std::unique_ptr<GlTarget> left_, right_;
    gl::CommandStream stream_;
    gl::GroupedCalls grouped_;   // the last finished frame as vertex arrays, once redrawn
    std::vector<EyeView> views_; // every view set up, in the order of the marks
    Camera camera_;              // the camera of the views in the record
    std::size_t fed_ = 0;        // words of the record the right eye has had
    std::size_t finished_ = 0;   // words of the record up to the end of the last finished frame
    bool keeping_ = false;       // the record holds everything since the left eye's birth
    std::size_t frameBytes_ = 0; // recorded in this frame and already fed
    bool mirrored_ = true;       // the right eye can still be made identical
    bool begun_ = false;         // a view was begun
    bool lost_ = false;          // a call could not be recorded: the right eye is behind
    bool unrepeatable_ = false;  // a call is in the record only in part
    bool lostRight_ = false;     // lost_ happened while the right eye was fed
};

} // namespace tesselin

#endif
