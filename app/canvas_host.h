// The host side of the plug-in contract: the host table and what stands
// behind its entries. Canvases with pixel surfaces, the canvas window, 3D
// canvases rendering through OpenGL, stereo pairs and anaglyphs.
#ifndef TESSELIN_APP_CANVAS_HOST_H
#define TESSELIN_APP_CANVAS_HOST_H

#include "app/gl_boundary.h"
#include "app/gl_device.h"
#include "app/image.h"
#include "app/projection.h"
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
    // A message for the person running the plug-in ("Error! ..." and
    // "Warning: ..." count as such; anything else is information).
    virtual void HostMessage(const std::string &text) = 0;
    // A frame was finished: left holds it, right too for a stereo pair.
    virtual void FrameFinished(const struct Canvas &left, const struct Canvas *right) = 0;
    // The plug-in asked to copy the canvas window's image.
    virtual void CopyRequested(const Image &image) = 0;
    // The plug-in composed an anaglyph in the canvas window with these colours.
    virtual void AnaglyphMade(COLORREF, COLORREF) {}
};

// The 3D side of a canvas selected for modelling.
struct Scene {
    std::unique_ptr<GlTarget> left, right;
    Projection projection;
    bool projectionSet = false;
    bool viewSet = false;      // SetStereoView has set up a usable view
    bool stereo = false;
    double separation = 0;
    RECT viewport{};
    // Calls the left eye has had and the right eye not yet. Kept from the
    // left context's birth until the view turns out to be mono.
    gl::CommandStream pending;
    bool mirrored = true; // the right eye can still be made identical
};

struct Canvas {
    std::array<CanvasRecord, CANVAS_FIELDS> record{};
    TesselinSurface surface{};
    std::vector<uint32_t> pixels;
    std::unique_ptr<Scene> scene;

    Image Snapshot() const;
};

// Where the host's own time went, in seconds.
struct HostTimes {
    double contexts = 0; // making rendering contexts and their framebuffers
    double replay = 0;   // repeating frames for the right eye
    double readBack = 0; // copying finished frames into the canvases
    std::size_t largestStream = 0; // bytes of the largest frame recorded for the right eye
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
    int FramesFinished() const { return framesFinished_; }
    std::size_t CanvasCount() const { return canvases_.size(); }
    const HostTimes &Times() const { return times_; }

    // The host table's entries.
    int ShowCanvasWindow();
    int CopyCanvas();
    HWND GetCanvasWindow();
    int MakeAnaglyph(COLORREF left, COLORREF right);
    int DestroyCanvas(CanvasRecord *record);
    CanvasRecord *CreateCanvas(int width, int height);
    int SelectCanvas(CanvasRecord *record, int for3d);
    int SetRightCanvas(CanvasRecord *record);
    int HasCanvas();
    int HasRightCanvas();
    int RefreshCanvas(int zero, int what);
    int SetViewMargin(ViewRecord *view, int amount);
    int GetViewRect(ViewRecord *view);
    int SetProjection(ViewRecord *view, int ortho, double a, double b, double c, double d);
    int SetStereoView(ViewRecord *view, int stereo, double separation);
    int FinishModel();
    int IsModeling();
    int StopRun(const char *text);
    void UnexpectedEntry(int index);
    // Says what the OpenGL boundary noticed during the last command.
    void AfterCommand();

private:
    Canvas *Find(const CanvasRecord *record);
    Canvas *Find(const CanvasRecord *record, const char *entry);
    Scene *SelectedScene() const;
    // Makes the selected 3D canvas's left context current and points the
    // boundary at it, or leaves none current.
    void RestoreCurrent();
    void ApplyView(Scene &scene, GlTarget &target, int eye);
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
    bool stopRequested_ = false;
    bool outOfMemory_ = false;
    int framesFinished_ = 0;
    HostTimes times_;
    bool warnedUnrepeatable_ = false, warnedWithoutContext_ = false;
};

} // namespace tesselin

#endif
