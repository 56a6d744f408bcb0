#include "app/canvas_host.h"
#include "app/stopwatch.h"

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

int EntryShowCanvasWindow() { return Active->ShowCanvasWindow(); }
int EntryCopyCanvas() { return Active->CopyCanvas(); }
HWND EntryGetCanvasWindow() { return Active->GetCanvasWindow(); }
int EntryMakeAnaglyph(COLORREF left, COLORREF right) { return Active->MakeAnaglyph(left, right); }
int EntryDestroyCanvas(CanvasRecord *canvas) { return Active->DestroyCanvas(canvas); }
CanvasRecord *EntryCreateCanvas(int width, int height) { return Active->CreateCanvas(width, height); }
int EntrySelectCanvas(CanvasRecord *canvas, int for3d) { return Active->SelectCanvas(canvas, for3d); }
int EntrySetRightCanvas(CanvasRecord *canvas) { return Active->SetRightCanvas(canvas); }
int EntryHasCanvas() { return Active->HasCanvas(); }
int EntryHasRightCanvas() { return Active->HasRightCanvas(); }
int EntryRefreshCanvas(int zero, int what) { return Active->RefreshCanvas(zero, what); }
int EntrySetViewMargin(ViewRecord *view, int amount, int, int) { return Active->SetViewMargin(view, amount); }
int EntryGetViewRect(ViewRecord *view, int) { return Active->GetViewRect(view); }
int EntrySetProjection(ViewRecord *view, int ortho, double a, double b, double c, double d)
{
    return Active->SetProjection(view, ortho, a, b, c, d);
}
int EntrySetStereoView(ViewRecord *view, int stereo, double amount) { return Active->SetStereoView(view, stereo, amount); }
int EntryFinishModel() { return Active->FinishModel(); }
int EntryIsModeling() { return Active->IsModeling(); }
int EntryStopRun(const char *text, int, int) { return Active->StopRun(text); }

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

int64_t Clamp(int64_t v, int64_t low, int64_t high) { return std::min(std::max(v, low), high); }

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
    table_[HOST_SHOW_CANVAS_WINDOW] = GUARDED_ENTRY(EntryShowCanvasWindow);
    table_[HOST_COPY_CANVAS] = GUARDED_ENTRY(EntryCopyCanvas);
    table_[HOST_GET_CANVAS_WINDOW] = GUARDED_ENTRY(EntryGetCanvasWindow);
    table_[HOST_MAKE_ANAGLYPH] = GUARDED_ENTRY(EntryMakeAnaglyph);
    table_[HOST_DESTROY_CANVAS] = GUARDED_ENTRY(EntryDestroyCanvas);
    table_[HOST_CREATE_CANVAS] = GUARDED_ENTRY(EntryCreateCanvas);
    table_[HOST_SELECT_CANVAS] = GUARDED_ENTRY(EntrySelectCanvas);
    table_[HOST_SET_RIGHT_CANVAS] = GUARDED_ENTRY(EntrySetRightCanvas);
    table_[HOST_HAS_CANVAS] = GUARDED_ENTRY(EntryHasCanvas);
    table_[HOST_HAS_RIGHT_CANVAS] = GUARDED_ENTRY(EntryHasRightCanvas);
    table_[HOST_REFRESH_CANVAS] = GUARDED_ENTRY(EntryRefreshCanvas);
    table_[HOST_SET_VIEW_MARGIN] = GUARDED_ENTRY(EntrySetViewMargin);
    table_[HOST_GET_VIEW_RECT] = GUARDED_ENTRY(EntryGetViewRect);
    table_[HOST_SET_PROJECTION] = GUARDED_ENTRY(EntrySetProjection);
    table_[HOST_SET_STEREO_VIEW] = GUARDED_ENTRY(EntrySetStereoView);
    table_[HOST_FINISH_MODEL] = GUARDED_ENTRY(EntryFinishModel);
    table_[HOST_IS_MODELING] = GUARDED_ENTRY(EntryIsModeling);
    table_[HOST_STOP_RUN] = GUARDED_ENTRY(EntryStopRun);
}

CanvasHost::~CanvasHost()
{
    gl::RecordInto(nullptr);
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
        events_.HostMessage(std::string("Warning: the plug-in passed ") + entry +
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
    if (!scene || !scene->left) {
        gl::RecordInto(nullptr);
        device_.Release();
        return;
    }
    scene->left->MakeCurrent();
    gl::SetContextCurrent(true);
    bool keep = scene->mirrored && (!scene->viewSet || (scene->stereo && scene->right));
    gl::RecordInto(keep ? &scene->pending : nullptr);
}

int CanvasHost::ShowCanvasWindow()
{
    if (selected_)
        window_ = selected_;
    return 0;
}

int CanvasHost::CopyCanvas()
{
    if (const Canvas *window = WindowCanvas())
        events_.CopyRequested(window->Snapshot());
    else
        events_.HostMessage("Warning: there is no canvas to copy");
    return 0;
}

HWND CanvasHost::GetCanvasWindow()
{
    const Canvas *window = WindowCanvas();
    return window ? reinterpret_cast<HWND>(const_cast<TesselinSurface *>(&window->surface)) : nullptr;
}

int CanvasHost::MakeAnaglyph(COLORREF leftColour, COLORREF rightColour)
{
    Canvas *left = const_cast<Canvas *>(WindowCanvas());
    if (!left || !right_ || left == right_) {
        events_.HostMessage("Warning: an anaglyph needs a stereo canvas pair; nothing was combined");
        return 0;
    }
    leftEye_ = left->Snapshot();
    int width = std::min(left->surface.width, right_->surface.width);
    int height = std::min(left->surface.height, right_->surface.height);
    for (int y = 0; y < height; y++)
        ComposeAnaglyph(&left->pixels[std::size_t(y) * left->surface.stride],
                        &right_->pixels[std::size_t(y) * right_->surface.stride], std::size_t(width), leftColour,
                        rightColour);
    events_.AnaglyphMade(leftColour, rightColour);
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
    gl::RecordInto(nullptr);
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
        gl::RecordInto(nullptr);
        std::string error;
        auto scene = std::make_unique<Scene>();
        {
            Stopwatch watch(times_.contexts);
            scene->left = device_.MakeTarget(canvas->surface.width, canvas->surface.height, error);
        }
        if (scene->left) {
            canvas->scene = std::move(scene);
            gl::BoundaryNotes().drawn = false;
        } else {
            events_.HostMessage("Error! This canvas cannot be drawn in 3D: " + error);
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
    return 0;
}

int CanvasHost::SetViewMargin(ViewRecord *view, int amount)
{
    if (view)
        view->amount = amount;
    return 0;
}

int CanvasHost::GetViewRect(ViewRecord *view)
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
        scene->projectionSet = true;
    }
    return 0;
}

void CanvasHost::ApplyView(Scene &scene, GlTarget &target, int eye)
{
    target.MakeCurrent();
    const RealGl &gl = device_.Gl();
    // The view's rectangle, top-down in canvas pixels, becomes the viewport;
    // in stereo it may be wider than the canvas.
    const RECT &r = scene.viewport;
    constexpr int64_t Limit = 1 << 24;
    int64_t left = Clamp(r.left, -Limit, Limit), right = Clamp(r.right, -Limit, Limit);
    int64_t top = Clamp(r.top, -Limit, Limit), bottom = Clamp(r.bottom, -Limit, Limit);
    int64_t width = std::max<int64_t>(0, right - left), height = std::max<int64_t>(0, bottom - top);
    gl.Viewport(GLint(left), GLint(target.Height() - bottom), GLsizei(width), GLsizei(height));
    double aspect = height > 0 ? double(width) / double(height) : 1.0;
    Matrix projection = EyeProjection(scene.projection, aspect, scene.separation, eye);
    Matrix view = ViewMatrix(scene.projection);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadMatrixd(projection.data());
    gl.MatrixMode(GL_MODELVIEW);
    gl.LoadMatrixd(view.data());
}

bool CanvasHost::MakeRightEye(Canvas &canvas, Scene &scene)
{
    if (scene.right)
        return true;
    if (!scene.mirrored) {
        events_.HostMessage("Warning: the right eye cannot be set up after mono drawing on this canvas; "
                            "only the left eye is drawn");
        return false;
    }
    std::string error;
    {
        Stopwatch watch(times_.contexts);
        scene.right = device_.MakeTarget(canvas.surface.width, canvas.surface.height, error);
    }
    if (!scene.right) {
        events_.HostMessage("Error! The right eye cannot be drawn: " + error);
        scene.mirrored = false;
        return false;
    }
    return true;
}

int CanvasHost::SetStereoView(ViewRecord *view, int stereo, double separation)
{
    Scene *scene = SelectedScene();
    if (!scene || !view) {
        events_.HostMessage("Warning: a 3D view was asked for without a canvas selected for 3D; ignored");
        return 0;
    }
    gl::RecordInto(nullptr);
    if (auto problem = ProjectionProblem(scene->projection)) {
        events_.HostMessage("Error! The 3D view cannot be set up: " + *problem);
        scene->viewSet = false;
        RestoreCurrent();
        return 0;
    }
    scene->viewport = view->rect;
    scene->stereo = stereo != 0;
    scene->separation = scene->stereo && std::isfinite(separation) ? separation : 0;
    bool twoEyes = scene->stereo && right_ && MakeRightEye(*selected_, *scene);
    if (scene->stereo && !right_)
        events_.HostMessage("Warning: a stereo view without a right canvas; only the left eye is drawn");
    ApplyView(*scene, *scene->left, scene->stereo ? -1 : 0);
    if (twoEyes) {
        // The right eye first catches up with everything the left one had.
        scene->right->MakeCurrent();
        scene->pending.Replay();
        scene->pending.Clear();
        ApplyView(*scene, *scene->right, 1);
    } else {
        scene->mirrored = false;
        scene->pending.Clear();
        scene->right.reset();
    }
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
    gl::RecordInto(nullptr);
    Canvas *right = nullptr;
    if (scene->stereo && scene->right) {
        times_.largestStream = std::max(times_.largestStream, scene->pending.Bytes());
        {
            Stopwatch watch(times_.replay);
            scene->right->MakeCurrent();
            scene->pending.Replay();
            scene->pending.Clear();
        }
        if (right_) {
            ReadFrame(*scene->right, *right_);
            right = right_;
        }
    }
    ReadFrame(*scene->left, *selected_);
    RestoreCurrent();
    gl::BoundaryNotes().drawn = false;
    leftEye_.reset();
    framesFinished_++;
    ReportBoundaryNotes();
    events_.FrameFinished(*selected_, right);
    return 0;
}

int CanvasHost::IsModeling()
{
    Scene *scene = SelectedScene();
    return scene && scene->viewSet ? 1 : 0;
}

int CanvasHost::StopRun(const char *text)
{
    stopRequested_ = true;
    events_.HostMessage(text && *text ? std::string("Stopped: ") + text : std::string("Stopped"));
    return 0;
}

void CanvasHost::UnexpectedEntry(int index)
{
    stopRequested_ = true;
    events_.HostMessage("Error! The plug-in called host table entry " + std::to_string(index) +
                        ", which this host does not provide; the run stops");
}

void CanvasHost::ReportBoundaryNotes()
{
    gl::Notes &notes = gl::BoundaryNotes();
    if (notes.unrepeatable && !warnedUnrepeatable_) {
        warnedUnrepeatable_ = true;
        events_.HostMessage("Warning: the right eye may differ from the left: " +
                            std::string(gl::NameOf(*notes.unrepeatable)) + " cannot be repeated for it");
    }
    if (notes.withoutContext && !warnedWithoutContext_) {
        warnedWithoutContext_ = true;
        events_.HostMessage("Warning: the plug-in called " + std::string(gl::NameOf(*notes.withoutContext)) +
                            " without a 3D canvas; such calls are ignored");
    }
    notes.unrepeatable.reset();
    notes.withoutContext.reset();
}

void CanvasHost::AfterCommand()
{
    ReportBoundaryNotes();
}

} // namespace tesselin
