#include "app/plugin_host/canvas_host.h"
#include "app/process/stopwatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace tesselin {

namespace {

// The host whose table the plug-in holds. Entries are plain functions, so
// they find it here.
CanvasHost *Active = nullptr;

// Each entry the plug-in may call passes its arguments on to the method of
// the same name.
#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args)                                                \
    ret ZILTOR_CALL Entry##name params { return Active->name args; }
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM

constexpr int EntryCount = 0
#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args) +1
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM
    ;
static_assert(EntryCount == 18, "the plug-in calls 18 entries of the host table");

// Every slot the plug-in has no business calling: whatever arguments it
// passes are ignored, and the run stops with the slot named.
template <int Index> int EntryUnexpected()
{
    Active->UnexpectedEntry(Index);
    return 0;
}

template <typename F> HostEntry AsEntry(F *function) { return reinterpret_cast<HostEntry>(function); }

// The plug-in calls entries from code that cannot pass exceptions on (and
// GLU's C code may be below it), so none leaves an entry: an allocation that
// fails is noted for the host, and the entry returns as if it did nothing.
template <auto Entry, typename R, typename... A> R Guarded(A... args) noexcept
{
    try {
        return Entry(args...);
    } catch (const std::bad_alloc &) {
        Active->NoteOutOfMemory();
        return R{};
    }
}
template <auto Entry, typename R, typename... A> HostEntry AsGuardedEntry(R (*)(A...))
{
    return AsEntry(&Guarded<Entry, R, A...>);
}
#define GUARDED_ENTRY(entry) AsGuardedEntry<&entry>(&entry)

template <std::size_t... I> std::array<HostEntry, HOST_TABLE_SIZE> UnexpectedTable(std::index_sequence<I...>)
{
    return {AsEntry(&EntryUnexpected<int(I)>)...};
}

} // namespace

Image Canvas::Snapshot() const
{
    Image image;
    image.width = surface.width;
    image.height = surface.height;
    image.pixels = pixels;
    return image;
}

CanvasHost::CanvasHost(GlDevice &device, HostEvents &events) : device_(device), events_(events)
{
    if (Active)
        throw std::logic_error("only one canvas host can be active at a time");
    Active = this;
    table_ = UnexpectedTable(std::make_index_sequence<HOST_TABLE_SIZE>());
#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args) table_[index] = GUARDED_ENTRY(Entry##name);
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM
}

CanvasHost::~CanvasHost()
{
    FrameStream::Pause();
    selected_ = window_ = right_ = nullptr;
    canvases_.clear();
    device_.Release();
    Active = nullptr;
}

const Canvas *CanvasHost::WindowCanvas() const
{
    return window_ ? window_ : selected_;
}

std::optional<Image> CanvasHost::LeftEye() const
{
    if (leftEye_)
        return leftEye_;
    if (const Canvas *window = WindowCanvas())
        return window->Snapshot();
    return std::nullopt;
}

bool CanvasHost::FrameUnfinished() const
{
    Scene *scene = SelectedScene();
    return scene && scene->viewSet && gl::BoundaryNotes().drawn;
}

std::optional<Projection> CanvasHost::SceneProjection() const
{
    Scene *scene = SelectedScene();
    if (!scene || !scene->viewSet)
        return std::nullopt;
    return scene->projection;
}

Canvas *CanvasHost::Find(const CanvasRecord *record)
{
    for (auto &canvas : canvases_)
        if (canvas->record.data() == record)
            return canvas.get();
    return nullptr;
}

Canvas *CanvasHost::Find(const CanvasRecord *record, const char *entry)
{
    Canvas *canvas = Find(record);
    if (!canvas)
        events_.HostMessage(Severity::Warning, std::string("the plug-in passed ") + entry +
                            " a canvas this host does not have; ignored");
    return canvas;
}

Scene *CanvasHost::SelectedScene() const
{
    return selected_ && selected3d_ ? selected_->scene.get() : nullptr;
}

void CanvasHost::RestoreCurrent()
{
    Scene *scene = SelectedScene();
    if (!scene) {
        FrameStream::Pause();
        device_.Release();
        return;
    }
    scene->frames.Resume();
}

int CanvasHost::ShowCanvasWindow()
{
    if (selected_)
        window_ = selected_;
    events_.CanvasWindowChanged(true);
    return 0;
}

int CanvasHost::CopyCanvas()
{
    if (const Canvas *window = WindowCanvas())
        events_.CopyRequested(window->Snapshot());
    else
        events_.HostMessage(Severity::Warning, "there is no canvas to copy");
    return 0;
}

HWND CanvasHost::GetCanvasWindow()
{
    const Canvas *window = WindowCanvas();
    return window ? reinterpret_cast<HWND>(const_cast<TesselinSurface *>(&window->surface)) : nullptr;
}

int CanvasHost::MakeAnaglyph(const ScriptColours &colours)
{
    Canvas *left = const_cast<Canvas *>(WindowCanvas());
    if (!left || !right_ || left == right_) {
        events_.HostMessage(Severity::Warning, "an anaglyph needs a stereo canvas pair; nothing was combined");
        return 0;
    }
    leftEye_ = left->Snapshot();
    anaglyph_ = colours;
    int width = std::min(left->surface.width, right_->surface.width);
    int height = std::min(left->surface.height, right_->surface.height);
    ApplyScriptColours({left->pixels.data(), std::size_t(left->surface.stride)},
                       {right_->pixels.data(), std::size_t(right_->surface.stride)}, width, height, colours);
    events_.AnaglyphMade(colours);
    return 0;
}

int CanvasHost::DestroyCanvas(CanvasRecord *record)
{
    Canvas *canvas = Find(record, "DestroyCanvas");
    if (!canvas)
        return 0;
    if (selected_ == canvas) {
        selected_ = nullptr;
        selected3d_ = false;
    }
    if (window_ == canvas)
        window_ = nullptr;
    if (right_ == canvas)
        right_ = nullptr;
    FrameStream::Pause();
    std::erase_if(canvases_, [canvas](const auto &owned) { return owned.get() == canvas; });
    RestoreCurrent();
    return 0;
}

CanvasRecord *CanvasHost::CreateCanvas(int width, int height)
{
    if (width < 1 || height < 1 || width > MaxCanvasSide || height > MaxCanvasSide)
        return nullptr;
    std::unique_ptr<Canvas> canvas;
    try {
        canvas = std::make_unique<Canvas>();
        canvas->pixels.assign(std::size_t(width) * std::size_t(height), 0x00FFFFFFu);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    canvas->surface = {TESSELIN_SURFACE_MAGIC, width, height, width, canvas->pixels.data()};
    canvas->record[CANVAS_FIELD_DC] = reinterpret_cast<CanvasRecord>(&canvas->surface);
    canvas->record[CANVAS_FIELD_WIDTH] = width;
    canvas->record[CANVAS_FIELD_HEIGHT] = height;
    canvases_.push_back(std::move(canvas));
    return canvases_.back()->record.data();
}

int CanvasHost::SelectCanvas(CanvasRecord *record, int for3d)
{
    if (!record) {
        selected_ = nullptr;
        selected3d_ = false;
        RestoreCurrent();
        return 0;
    }
    Canvas *canvas = Find(record, "SelectCanvas");
    if (!canvas)
        return 0;
    selected_ = canvas;
    selected3d_ = for3d != 0;
    if (selected3d_ && !canvas->scene) {
        FrameStream::Pause();
        std::string error;
        std::unique_ptr<GlTarget> left;
        {
            Stopwatch watch(times_.contexts);
            left = device_.MakeTarget(canvas->surface.width, canvas->surface.height, error);
        }
        if (left) {
            canvas->scene = std::make_unique<Scene>(device_.Gl(), std::move(left), times_, limits_);
            gl::BoundaryNotes().drawn = false;
        } else {
            events_.HostMessage(Severity::Error, "This canvas cannot be drawn in 3D: " + error);
            selected3d_ = false;
        }
    }
    RestoreCurrent();
    return 0;
}

int CanvasHost::SetRightCanvas(CanvasRecord *record)
{
    if (!record) {
        right_ = nullptr;
        return 0;
    }
    if (Canvas *canvas = Find(record, "SetRightCanvas"))
        right_ = canvas;
    return 0;
}

int CanvasHost::HasCanvas() { return canvases_.empty() ? 0 : 1; }

int CanvasHost::HasRightCanvas() { return right_ ? 1 : 0; }

int CanvasHost::RefreshCanvas(int, int what)
{
    // -1 follows drawing: an earlier anaglyph's left eye is out of date.
    if (what != 0)
        leftEye_.reset();
    events_.CanvasWindowChanged(false);
    return 0;
}

int CanvasHost::SetViewMargin(ViewRecord *view, int amount, int, int)
{
    if (view)
        view->amount = amount;
    return 0;
}

int CanvasHost::GetViewRect(ViewRecord *view, int)
{
    if (!view)
        return 0;
    const Canvas *canvas = selected_ ? selected_ : WindowCanvas();
    view->amount = 0;
    view->rect = {0, 0, canvas ? canvas->surface.width : 0, canvas ? canvas->surface.height : 0};
    return 0;
}

int CanvasHost::SetProjection(ViewRecord *, int ortho, double a, double b, double c, double d)
{
    if (Scene *scene = SelectedScene()) {
        scene->projection = {ortho != 0, a, b, c, d};
    }
    return 0;
}

bool CanvasHost::MakeRightEye(Canvas &canvas, Scene &scene)
{
    if (scene.frames.Right())
        return true;
    if (!scene.frames.CanAddRightEye()) {
        events_.HostMessage(Severity::Warning, "the right eye cannot be set up after mono drawing on this canvas; "
                            "only the left eye is drawn");
        return false;
    }
    std::string error;
    std::unique_ptr<GlTarget> right;
    {
        Stopwatch watch(times_.contexts);
        right = device_.MakeTarget(canvas.surface.width, canvas.surface.height, error);
    }
    if (!right) {
        events_.HostMessage(Severity::Error, "The right eye cannot be drawn: " + error);
        return false;
    }
    scene.frames.AddRightEye(std::move(right));
    return true;
}

int CanvasHost::SetStereoView(ViewRecord *view, int stereo, double separation)
{
    Scene *scene = SelectedScene();
    if (!scene || !view) {
        events_.HostMessage(Severity::Warning, "a 3D view was asked for without a canvas selected for 3D; ignored");
        return 0;
    }
    FrameStream::Pause();
    if (auto problem = ProjectionProblem(scene->projection)) {
        events_.HostMessage(Severity::Error, "The 3D view cannot be set up: " + *problem);
        scene->viewSet = false;
        RestoreCurrent();
        return 0;
    }
    EyeView &eyes = scene->view;
    eyes.projection = scene->projection;
    eyes.viewport = view->rect;
    eyes.stereo = stereo != 0;
    eyes.separation = eyes.stereo && std::isfinite(separation) ? separation : 0;
    bool twoEyes = eyes.stereo && right_ && MakeRightEye(*selected_, *scene);
    if (eyes.stereo && !right_)
        events_.HostMessage(Severity::Warning, "a stereo view without a right canvas; only the left eye is drawn");
    scene->frames.BeginFrames(eyes, camera_, twoEyes);
    scene->viewSet = true;
    RestoreCurrent();
    return 0;
}

void CanvasHost::ReadFrame(GlTarget &target, Canvas &canvas)
{
    Stopwatch watch(times_.readBack);
    if (target.Width() == canvas.surface.width && target.Height() == canvas.surface.height) {
        target.ReadInto(canvas.pixels.data(), canvas.surface.stride);
        return;
    }
    Image frame(target.Width(), target.Height());
    target.ReadInto(frame.pixels.data(), frame.width);
    int width = std::min(frame.width, canvas.surface.width), height = std::min(frame.height, canvas.surface.height);
    for (int y = 0; y < height; y++)
        std::memcpy(&canvas.pixels[std::size_t(y) * canvas.surface.stride], &frame.At(0, y), std::size_t(width) * 4);
}

int CanvasHost::FinishModel()
{
    Scene *scene = SelectedScene();
    if (!scene || !scene->viewSet)
        return 0;
    scene->frames.FinishFrame();
    Canvas *right = nullptr;
    if (GlTarget *rightEye = scene->frames.Right(); rightEye && right_) {
        ReadFrame(*rightEye, *right_);
        right = right_;
    }
    ReadFrame(scene->frames.Left(), *selected_);
    RestoreCurrent();
    gl::BoundaryNotes().drawn = false;
    leftEye_.reset();
    anaglyph_.reset();
    framesFinished_++;
    ReportBoundaryNotes();
    events_.FrameFinished(*selected_, right);
    events_.CanvasWindowChanged(false);
    return 0;
}

int CanvasHost::IsModeling()
{
    Scene *scene = SelectedScene();
    return scene && scene->viewSet ? 1 : 0;
}

int CanvasHost::StopRun(const char *text, int, int)
{
    stopRequested_ = true;
    events_.HostMessage(Severity::Report, text && *text ? std::string("Stopped: ") + text : std::string("Stopped"));
    return 0;
}

void CanvasHost::UnexpectedEntry(int index)
{
    stopRequested_ = true;
    events_.HostMessage(Severity::Error, "The plug-in called host table entry " + std::to_string(index) +
                        ", which this host does not provide; the run stops");
}

void CanvasHost::ReportBoundaryNotes()
{
    gl::Notes &notes = gl::BoundaryNotes();
    // Only a right eye can differ; a canvas of one eye just cannot be redrawn.
    Scene *scene = SelectedScene();
    if (notes.unrepeatable && !warnedUnrepeatable_ && scene && scene->frames.Right()) {
        warnedUnrepeatable_ = true;
        events_.HostMessage(Severity::Warning, "the right eye may differ from the left: " +
                            std::string(gl::NameOf(*notes.unrepeatable)) + " cannot be repeated for it");
    }
    if (notes.withoutContext && !warnedWithoutContext_) {
        warnedWithoutContext_ = true;
        events_.HostMessage(Severity::Warning, "the plug-in called " + std::string(gl::NameOf(*notes.withoutContext)) +
                            " without a 3D canvas; such calls are ignored");
    }
    if (notes.outOfMemory && (!scene || scene->frames.LostRightEye())) {
        // Every time: each such line has failed.
        events_.HostMessage(Severity::Error, "Out of memory recording " + std::string(gl::NameOf(*notes.outOfMemory)) +
                                                 " for the right eye; from this frame on only the left eye is drawn");
    } else if (notes.outOfMemory && !warnedOutOfMemory_) {
        // Only the record kept for redrawing went: nothing drawn is missing.
        warnedOutOfMemory_ = true;
        events_.HostMessage(Severity::Warning, "out of memory keeping the frames of this canvas for redrawing; "
                                               "a turned view is drawn by running the script again");
    }
    notes.unrepeatable.reset();
    notes.withoutContext.reset();
    notes.outOfMemory.reset();
}

void CanvasHost::AfterCommand()
{
    ReportBoundaryNotes();
}

bool CanvasHost::RedrawLastFrame()
{
    Scene *scene = SelectedScene();
    if (!scene || !scene->viewSet || !scene->frames.CanRedraw())
        return false;
    FrameStream::Pause();
    const int width = selected_->surface.width, height = selected_->surface.height;
    auto make = [&] {
        Stopwatch watch(times_.contexts);
        std::string error;
        return device_.MakeTarget(width, height, error);
    };
    Canvas *rightCanvas = nullptr;
    bool redrawn = scene->frames.Redraw(camera_, make,
                                        [&](GlTarget &leftEye, GlTarget *rightEye) {
                                            if (rightEye && right_) {
                                                ReadFrame(*rightEye, *right_);
                                                rightCanvas = right_;
                                            }
                                            ReadFrame(leftEye, *selected_);
                                        });
    RestoreCurrent();
    if (!redrawn)
        return false;
    leftEye_.reset();
    framesFinished_++;
    events_.FrameFinished(*selected_, rightCanvas);
    if (auto colours = anaglyph_)
        MakeAnaglyph(*colours);
    return true;
}

Scene *CanvasHost::ExportScene() const
{
    if (Scene *scene = SelectedScene())
        return scene;
    const Canvas *window = WindowCanvas();
    return window ? window->scene.get() : nullptr;
}

CanvasHost::LastFrame CanvasHost::LastFrameRecord() const
{
    if (!WindowCanvas() && !selected_)
        return LastFrame::NoCanvas;
    Scene *scene = ExportScene();
    if (!scene || !scene->viewSet)
        return LastFrame::Flat;
    if (scene->frames.CanRedraw())
        return LastFrame::Kept;
    return framesFinished_ == 0 ? LastFrame::NoFrame : LastFrame::NotKept;
}

bool CanvasHost::WalkLastFrame(const FrameStream::Calls &calls, const FrameStream::ViewSeen &onView,
                               std::size_t from, std::size_t &end)
{
    Scene *scene = ExportScene();
    if (!scene || !scene->viewSet)
        return false;
    bool walked = false;
    try {
        walked = scene->frames.Walk(calls, onView, from);
    } catch (...) {
        RestoreCurrent();
        throw;
    }
    end = scene->frames.FinishedWords();
    RestoreCurrent();
    return walked;
}

} // namespace tesselin
