// The host side of the plug-in contract: the host table and what stands
// behind its entries. Canvases with pixel surfaces, the canvas window, 3D
// canvases rendering through OpenGL, stereo pairs and anaglyphs.
#ifndef TESSELIN_APP_PLUGIN_HOST_CANVAS_HOST_H
#define TESSELIN_APP_PLUGIN_HOST_CANVAS_HOST_H

#include "app/camera/camera.h"
#include "app/gl/frame_stream.h"
#include "app/gl/boundary.h"
#include "app/gl/device.h"
#include "app/process/message.h"
#include "app/picture/anaglyph.h"
#include "app/picture/image.h"
#include "app/camera/projection.h"
#include "host/host_table.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tesselin {

// What the host tells the program that drives it.
class HostEvents {
public:
    virtual ~HostEvents() = default;
    // A message of the host's own for the person running the plug-in.
    virtual void HostMessage(Severity severity, const std::string &text) = 0;
    // A frame was finished: left holds it, right too for a stereo pair.
    virtual void FrameFinished(const struct Canvas &left, const struct Canvas *right) = 0;
    // The plug-in asked to copy the canvas window's image.
    virtual void CopyRequested(const Image &image) = 0;
    // The plug-in composed an anaglyph in the canvas window with these colours.
    virtual void AnaglyphMade(const ScriptColours &) {}
    // The canvas window's image changed (raise: the plug-in asked to show
    // the window) and a live view should repaint.
    virtual void CanvasWindowChanged(bool raise) { (void)raise; }
};

// The 3D side of a canvas selected for modelling.
struct Scene {
    Scene(const RealGl &gl, std::unique_ptr<GlTarget> left, HostTimes &times, const StreamLimits &limits)
        : frames(gl, std::move(left), times, limits)
    {
    }
    FrameStream frames;
    Projection projection;
    bool viewSet = false; // SetStereoView has set up a usable view
    EyeView view;
};

struct Canvas {
    std::array<CanvasRecord, CANVAS_FIELDS> record{};
    TesselinSurface surface{};
    std::vector<uint32_t> pixels;
    std::unique_ptr<Scene> scene;

    Image Snapshot() const;
};

class CanvasHost {
public:
    static constexpr int MaxCanvasSide = 8192;

    CanvasHost(GlDevice &device, HostEvents &events);
    ~CanvasHost();
    CanvasHost(const CanvasHost &) = delete;
    CanvasHost &operator=(const CanvasHost &) = delete;

    // The table handed to the plug-in. Only one host can be active at a time.
    HostEntry *Table() { return table_.data(); }

    // What the canvas window shows (the current canvas), and the right canvas.
    const Canvas *WindowCanvas() const;
    const Canvas *RightCanvas() const { return right_; }
    // The left eye of the last stereo frame as it was before an anaglyph
    // replaced it, while nothing has been drawn since; else the left canvas.
    std::optional<Image> LeftEye() const;

    bool StopRequested() const { return stopRequested_; }
    void RequestStop() { stopRequested_ = true; }
    // An allocation failed in an entry; taken once by whoever reports it.
    void NoteOutOfMemory() noexcept { outOfMemory_ = true; }
    bool TakeOutOfMemory() { return std::exchange(outOfMemory_, false); }
    // A 3D frame was drawn into and not finished.
    bool FrameUnfinished() const;
    // The projection of the selected 3D canvas once its view is set up.
    std::optional<Projection> SceneProjection() const;
    int FramesFinished() const { return framesFinished_; }
    const HostTimes &Times() const { return times_; }
    // The camera of frames whose view is set up from now on.
    void SetCamera(const Camera &camera) { camera_ = camera; }
    // How much the record of 3D canvases made from now on may hold.
    void SetStreamLimits(const StreamLimits &limits) { limits_ = limits; }
    const Camera &GetCamera() const { return camera_; }

    // The host table's entries (host/host_entries.inc), arguments as passed.
    int ShowCanvasWindow();
    int CopyCanvas();
    HWND GetCanvasWindow();
    int MakeAnaglyph(COLORREF left, COLORREF right) { return MakeAnaglyph(ScriptColours{left, right}); }
    int MakeAnaglyph(const ScriptColours &colours);
    int DestroyCanvas(CanvasRecord *record);
    CanvasRecord *CreateCanvas(int width, int height);
    int SelectCanvas(CanvasRecord *record, int for3d);
    int SetRightCanvas(CanvasRecord *record);
    int HasCanvas();
    int HasRightCanvas();
    int RefreshCanvas(int zero, int what);
    int SetViewMargin(ViewRecord *view, int amount, int zero1, int zero2);
    int GetViewRect(ViewRecord *view, int zero);
    int SetProjection(ViewRecord *view, int ortho, double a, double b, double c, double d);
    int SetStereoView(ViewRecord *view, int stereo, double separation);
    int FinishModel();
    int IsModeling();
    int StopRun(const char *text, int zero1, int zero2);
    void UnexpectedEntry(int index);
    // Says what the OpenGL boundary noticed during the last command.
    void AfterCommand();
    // Redraws the last finished frame of the selected 3D canvas from its
    // record with the current camera, reads it into the canvases, reports it
    // as a frame and then makes the anaglyph again if one was made of it.
    // False when the canvas kept no record of it.
    bool RedrawLastFrame();

    // What the record of the 3D canvas an export reads (the selected one,
    // else the one the canvas window shows) holds of its last finished frame.
    enum class LastFrame { NoCanvas, Flat, NoFrame, NotKept, Kept };
    LastFrame LastFrameRecord() const;
    // Plays that record, from word from, into calls (FrameStream::Walk), and
    // sets end to the word it stopped at. False when it holds no such frame.
    bool WalkLastFrame(const FrameStream::Calls &calls, const FrameStream::ViewSeen &onView, std::size_t from,
                       std::size_t &end);

private:
    Scene *ExportScene() const;
    Canvas *Find(const CanvasRecord *record);
    Canvas *Find(const CanvasRecord *record, const char *entry);
    Scene *SelectedScene() const;
    // Makes the selected 3D canvas's left context current and points the
    // boundary at it, or leaves none current.
    void RestoreCurrent();
    bool MakeRightEye(Canvas &canvas, Scene &scene);
    void ReadFrame(GlTarget &target, Canvas &canvas);
    void ReportBoundaryNotes();

    GlDevice &device_;
    HostEvents &events_;
    std::array<HostEntry, HOST_TABLE_SIZE> table_{};
    std::vector<std::unique_ptr<Canvas>> canvases_;
    Canvas *selected_ = nullptr;
    bool selected3d_ = false;
    Canvas *window_ = nullptr;
    Canvas *right_ = nullptr;
    std::optional<Image> leftEye_;
    // The colours of the anaglyph made of the last finished frame.
    std::optional<ScriptColours> anaglyph_;
    bool stopRequested_ = false;
    bool outOfMemory_ = false;
    int framesFinished_ = 0;
    HostTimes times_;
    Camera camera_;
    StreamLimits limits_;
    bool warnedUnrepeatable_ = false, warnedWithoutContext_ = false, warnedOutOfMemory_ = false;
};

} // namespace tesselin

#endif
