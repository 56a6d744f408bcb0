// The Windows host's core, shared by tesselin.exe and the Wine test host: it
// loads tesselin.dll with LoadLibrary, hands it a host table of
// pointer-sized entries (4 bytes in a 32-bit build, the real layout), runs a
// script through ZiltorH_Command and gives the canvases to the caller.
//
// Each canvas is a memory device context on a 32-bit DIB section; a canvas
// selected for 3D gets a WGL context drawing into that bitmap
// (PFD_DRAW_TO_BITMAP, which Wine renders with OSMesa). The
// camera follows the reference host's rules (app/camera/projection.cpp is compiled
// in). For a stereo pair one context serves both bitmaps: the left eye's
// frame is compiled into a display list as it is drawn, and at FinishModel
// the state from the start of the frame is restored and the list is called
// again on the right bitmap with the right eye's projection.
//
// Messages go to standard output as SCRIPT:LINE: TEXT.

// The reference host's headers come before windows.h, which defines near and
// far as macros.
#include "app/camera/projection.h"
#include "app/script/tokenizer.h"

#include <windows.h>

#include <GL/gl.h>

#include "host/host_table.h"
#include "platform/win32/host/script_host.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tesselin::windows {

namespace {

using tesselin::Matrix;
using tesselin::Projection;

// One canvas: the record the plug-in reads, the DIB it draws on, and for a 3D
// canvas the rendering context.
struct Canvas {
    std::array<CanvasRecord, CANVAS_FIELDS> record{};
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ keptBitmap = nullptr;
    uint32_t *bits = nullptr; // 0x00RRGGBB, bottom row first
    int width = 0, height = 0;
    bool pixelFormatSet = false;
    HGLRC context = nullptr;
    // The 3D view, once SetStereoView has set it.
    Projection projection;
    bool viewSet = false, stereo = false;
    double separation = 0;
    RECT viewport{};
    // Stereo: the display list holding the frame drawn so far, and the
    // modelview and stack depth at its start.
    GLuint frameList = 0;
    bool listOpen = false;
    Matrix startModelview{};
    GLint startDepth = 1;

    // Row y counted from the top.
    uint32_t *Row(int y) const { return bits + std::size_t(height - 1 - y) * std::size_t(width); }

    Canvas() = default;
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;
    ~Canvas()
    {
        if (context) {
            if (wglGetCurrentContext() == context)
                wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(context);
        }
        if (dc) {
            if (keptBitmap)
                SelectObject(dc, keptBitmap);
            DeleteDC(dc);
        }
        if (bitmap)
            DeleteObject(bitmap);
    }
};

class Host {
public:
    std::vector<std::string> messages; // printed after each command
    bool stopRequested = false;

    CanvasRecord *CreateCanvas(int width, int height);
    int DestroyCanvas(CanvasRecord *record);
    int SelectCanvas(CanvasRecord *record, int for3d);
    int SetRightCanvas(CanvasRecord *record);
    int ShowCanvasWindow();
    // This host has no window. With none, the module's text measuring takes
    // the screen's device context (GetDC of no window), which Windows and
    // Wine both give, where a real host hands over its canvas window.
    HWND GetCanvasWindow() { return nullptr; }
    int HasCanvas() { return canvases_.empty() ? 0 : 1; }
    int HasRightCanvas() { return right_ ? 1 : 0; }
    int GetViewRect(ViewRecord *view);
    int SetProjection(int ortho, double a, double b, double c, double d);
    int SetStereoView(ViewRecord *view, int stereo, double separation);
    int FinishModel();
    int IsModeling() { return Selected3d() && selected_->viewSet ? 1 : 0; }
    int MakeAnaglyph(COLORREF left, COLORREF right);
    int StopRun(const char *text);
    void Unexpected(int index);
    // Reports a canvas whose stretch mode or brush origin the module changed.
    void CheckDrawingSettings();

    Canvas *Window() const { return window_ ? window_ : selected_; }
    Canvas *Right() const { return right_; }

    ~Host()
    {
        wglMakeCurrent(nullptr, nullptr);
    }

private:
    Canvas *Find(const CanvasRecord *record);
    Canvas *Selected3d() const { return selected_ && selected3d_ ? selected_ : nullptr; }
    bool MakeContext(Canvas &canvas);
    bool UsePixelFormat(Canvas &canvas);
    void ApplyView(Canvas &scene, int eye);
    void OpenFrameList(Canvas &scene);
    void DrawRightEye(Canvas &scene);

    std::vector<std::unique_ptr<Canvas>> canvases_;
    Canvas *selected_ = nullptr, *window_ = nullptr, *right_ = nullptr;
    bool selected3d_ = false;
};

Host *Active = nullptr;

// Set on every canvas's device context when it is made; checked after every
// command.
constexpr int HostStretchMode = COLORONCOLOR;
constexpr POINT HostBrushOrigin = {3, 5};

void Host::CheckDrawingSettings()
{
    for (const auto &canvas : canvases_) {
        POINT origin{};
        GetBrushOrgEx(canvas->dc, &origin);
        int mode = GetStretchBltMode(canvas->dc);
        if (mode != HostStretchMode || origin.x != HostBrushOrigin.x || origin.y != HostBrushOrigin.y)
            messages.push_back("Error! The module left a canvas with stretch mode " + std::to_string(mode) +
                               " and brush origin " + std::to_string(origin.x) + "," + std::to_string(origin.y) +
                               " instead of the host's");
    }
}

CanvasRecord *Host::CreateCanvas(int width, int height)
{
    if (width < 1 || height < 1 || width > 8192 || height > 8192)
        return nullptr;
    auto canvas = std::make_unique<Canvas>();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    // Bottom row first: OpenGL's rows, which Wine writes into the bitmap's
    // memory in that order whichever way the bitmap runs.
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    canvas->dc = CreateCompatibleDC(nullptr);
    canvas->bitmap = CreateDIBSection(canvas->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!canvas->dc || !canvas->bitmap || !bits)
        return nullptr;
    canvas->keptBitmap = SelectObject(canvas->dc, canvas->bitmap);
    canvas->bits = static_cast<uint32_t *>(bits);
    canvas->width = width;
    canvas->height = height;
    std::fill_n(canvas->bits, std::size_t(width) * std::size_t(height), 0x00FFFFFFu);
    // The host's own drawing settings, which the module must leave as found.
    SetStretchBltMode(canvas->dc, HostStretchMode);
    SetBrushOrgEx(canvas->dc, HostBrushOrigin.x, HostBrushOrigin.y, nullptr);
    canvas->record[CANVAS_FIELD_DC] = reinterpret_cast<CanvasRecord>(canvas->dc);
    canvas->record[CANVAS_FIELD_WIDTH] = width;
    canvas->record[CANVAS_FIELD_HEIGHT] = height;
    canvases_.push_back(std::move(canvas));
    return canvases_.back()->record.data();
}

Canvas *Host::Find(const CanvasRecord *record)
{
    for (auto &canvas : canvases_)
        if (canvas->record.data() == record)
            return canvas.get();
    if (record)
        messages.push_back("Warning: the plug-in passed a canvas this host does not have");
    return nullptr;
}

int Host::DestroyCanvas(CanvasRecord *record)
{
    Canvas *canvas = Find(record);
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
    if (canvas->listOpen && wglGetCurrentContext() == canvas->context)
        glEndList();
    std::erase_if(canvases_, [canvas](const auto &owned) { return owned.get() == canvas; });
    return 0;
}

bool Host::UsePixelFormat(Canvas &canvas)
{
    if (canvas.pixelFormatSet)
        return true;
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(format);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_OPENGL | PFD_SUPPORT_GDI;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = 24;
    format.iLayerType = PFD_MAIN_PLANE;
    int chosen = ChoosePixelFormat(canvas.dc, &format);
    canvas.pixelFormatSet = chosen != 0 && SetPixelFormat(canvas.dc, chosen, &format);
    if (!canvas.pixelFormatSet)
        messages.push_back("Error! No OpenGL pixel format for a bitmap (" + std::to_string(GetLastError()) + ")");
    return canvas.pixelFormatSet;
}

bool Host::MakeContext(Canvas &canvas)
{
    if (canvas.context)
        return true;
    if (!UsePixelFormat(canvas))
        return false;
    canvas.context = wglCreateContext(canvas.dc);
    if (!canvas.context)
        messages.push_back("Error! No OpenGL context on the bitmap (" + std::to_string(GetLastError()) + ")");
    return canvas.context != nullptr;
}

int Host::SelectCanvas(CanvasRecord *record, int for3d)
{
    Canvas *canvas = record ? Find(record) : nullptr;
    selected_ = canvas;
    selected3d_ = canvas && for3d != 0;
    if (selected3d_ && !MakeContext(*canvas))
        selected3d_ = false;
    if (selected3d_)
        wglMakeCurrent(canvas->dc, canvas->context);
    else
        wglMakeCurrent(nullptr, nullptr);
    return 0;
}

int Host::SetRightCanvas(CanvasRecord *record)
{
    right_ = record ? Find(record) : nullptr;
    return 0;
}

int Host::ShowCanvasWindow()
{
    if (selected_)
        window_ = selected_;
    return 0;
}

int Host::GetViewRect(ViewRecord *view)
{
    if (!view)
        return 0;
    const Canvas *canvas = selected_ ? selected_ : Window();
    view->amount = 0;
    view->rect = {0, 0, canvas ? canvas->width : 0, canvas ? canvas->height : 0};
    return 0;
}

int Host::SetProjection(int ortho, double a, double b, double c, double d)
{
    if (Canvas *scene = Selected3d())
        scene->projection = {ortho != 0, a, b, c, d};
    return 0;
}

void Host::ApplyView(Canvas &scene, int eye)
{
    const RECT &r = scene.viewport;
    long width = std::max(0L, long(r.right) - r.left), height = std::max(0L, long(r.bottom) - r.top);
    glViewport(r.left, scene.height - r.bottom, width, height);
    double aspect = height > 0 ? double(width) / double(height) : 1.0;
    Matrix projection = tesselin::EyeProjection(scene.projection, aspect, scene.separation, eye);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection.data());
    glMatrixMode(GL_MODELVIEW);
}

// The frame is compiled while it is drawn, starting from the state saved
// here; the attribute stack holds the rest of that state.
void Host::OpenFrameList(Canvas &scene)
{
    if (!scene.frameList)
        scene.frameList = glGenLists(1);
    glGetDoublev(GL_MODELVIEW_MATRIX, scene.startModelview.data());
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &scene.startDepth);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glNewList(scene.frameList, GL_COMPILE_AND_EXECUTE);
    scene.listOpen = true;
}

// Back to the state at the start of the frame, then the same frame again on
// the right bitmap; the context ends in the state the left eye left it in.
void Host::DrawRightEye(Canvas &scene)
{
    glEndList();
    scene.listOpen = false;
    glFinish();
    glMatrixMode(GL_MODELVIEW);
    GLint depth = 1;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    for (; depth > scene.startDepth; depth--)
        glPopMatrix();
    glLoadMatrixd(scene.startModelview.data());
    glPopAttrib();
    if (UsePixelFormat(*right_) && wglMakeCurrent(right_->dc, scene.context)) {
        ApplyView(scene, 1);
        glCallList(scene.frameList);
        glFinish();
    } else {
        messages.push_back("Error! The right eye cannot be drawn (" + std::to_string(GetLastError()) + ")");
    }
    wglMakeCurrent(scene.dc, scene.context);
    ApplyView(scene, -1);
}

int Host::SetStereoView(ViewRecord *view, int stereo, double separation)
{
    Canvas *scene = Selected3d();
    if (!scene || !view)
        return 0;
    if (scene->listOpen) {
        glEndList();
        glPopAttrib();
        scene->listOpen = false;
    }
    if (auto problem = tesselin::ProjectionProblem(scene->projection)) {
        messages.push_back("Error! The 3D view cannot be set up: " + *problem);
        scene->viewSet = false;
        return 0;
    }
    scene->viewport = view->rect;
    scene->stereo = stereo != 0 && right_ && right_ != scene;
    scene->separation = scene->stereo && std::isfinite(separation) ? separation : 0;
    if (stereo != 0 && !scene->stereo)
        messages.push_back("Warning: a stereo view without a right canvas; only the left eye is drawn");
    ApplyView(*scene, scene->stereo ? -1 : 0);
    Matrix view0 = tesselin::ViewMatrix(scene->projection);
    glLoadMatrixd(view0.data());
    if (scene->stereo)
        OpenFrameList(*scene);
    scene->viewSet = true;
    return 0;
}

int Host::FinishModel()
{
    Canvas *scene = Selected3d();
    if (!scene || !scene->viewSet)
        return 0;
    if (scene->stereo && scene->listOpen && right_) {
        DrawRightEye(*scene);
        OpenFrameList(*scene);
    }
    glFinish();
    GdiFlush();
    return 0;
}

int Host::MakeAnaglyph(COLORREF leftColour, COLORREF rightColour)
{
    Canvas *left = Window();
    if (!left || !right_ || left == right_) {
        messages.push_back("Warning: an anaglyph needs a stereo canvas pair; nothing was combined");
        return 0;
    }
    GdiFlush();
    // DIB pixels are 0x00RRGGBB; COLORREF channels are red at bits 0-7.
    unsigned lw[3], rw[3];
    for (int channel = 0; channel < 3; channel++) {
        lw[channel] = (leftColour >> (8 * channel)) & 0xFF;
        rw[channel] = (rightColour >> (8 * channel)) & 0xFF;
    }
    int width = std::min(left->width, right_->width), height = std::min(left->height, right_->height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t &l = left->Row(y)[x];
            uint32_t r = right_->Row(y)[x], out = 0;
            for (int channel = 0; channel < 3; channel++) {
                unsigned shift = 16 - 8 * channel; // red, green, blue in the DIB
                unsigned sum = ((l >> shift) & 0xFF) * lw[channel] + ((r >> shift) & 0xFF) * rw[channel];
                out |= std::min((sum + 127) / 255, 255u) << shift;
            }
            l = out;
        }
    return 0;
}

int Host::StopRun(const char *text)
{
    stopRequested = true;
    messages.push_back(text && *text ? std::string("Stopped: ") + text : std::string("Stopped"));
    return 0;
}

void Host::Unexpected(int index)
{
    stopRequested = true;
    messages.push_back("Error! The plug-in called host table entry " + std::to_string(index) +
                       ", which this host does not provide; the run stops");
}

// The entries, as plain functions that find the host in Active.
int EntryShowCanvasWindow() { return Active->ShowCanvasWindow(); }
int EntryCopyCanvas()
{
    Active->messages.push_back("Note: copy requested");
    return 0;
}
HWND EntryGetCanvasWindow() { return Active->GetCanvasWindow(); }
int EntryMakeAnaglyph(COLORREF left, COLORREF right) { return Active->MakeAnaglyph(left, right); }
int EntryDestroyCanvas(CanvasRecord *canvas) { return Active->DestroyCanvas(canvas); }
CanvasRecord *EntryCreateCanvas(int width, int height) { return Active->CreateCanvas(width, height); }
int EntrySelectCanvas(CanvasRecord *canvas, int for3d) { return Active->SelectCanvas(canvas, for3d); }
int EntrySetRightCanvas(CanvasRecord *canvas) { return Active->SetRightCanvas(canvas); }
int EntryHasCanvas() { return Active->HasCanvas(); }
int EntryHasRightCanvas() { return Active->HasRightCanvas(); }
int EntryRefreshCanvas(int, int) { return 0; }
int EntrySetViewMargin(ViewRecord *view, int amount, int, int)
{
    if (view)
        view->amount = amount;
    return 0;
}
int EntryGetViewRect(ViewRecord *view, int) { return Active->GetViewRect(view); }
int EntrySetProjection(ViewRecord *, int ortho, double a, double b, double c, double d)
{
    return Active->SetProjection(ortho, a, b, c, d);
}
int EntrySetStereoView(ViewRecord *view, int stereo, double amount) { return Active->SetStereoView(view, stereo, amount); }
int EntryFinishModel() { return Active->FinishModel(); }
int EntryIsModeling() { return Active->IsModeling(); }
int EntryStopRun(const char *text, int, int) { return Active->StopRun(text); }

template <int Index> int EntryUnexpected()
{
    Active->Unexpected(Index);
    return 0;
}

template <typename F> HostEntry AsEntry(F *function) { return reinterpret_cast<HostEntry>(function); }

template <std::size_t... I> std::array<HostEntry, HOST_TABLE_SIZE> UnexpectedTable(std::index_sequence<I...>)
{
    return {AsEntry(&EntryUnexpected<int(I)>)...};
}

std::array<HostEntry, HOST_TABLE_SIZE> MakeTable()
{
    auto table = UnexpectedTable(std::make_index_sequence<HOST_TABLE_SIZE>());
    table[HOST_SHOW_CANVAS_WINDOW] = AsEntry(&EntryShowCanvasWindow);
    table[HOST_COPY_CANVAS] = AsEntry(&EntryCopyCanvas);
    table[HOST_GET_CANVAS_WINDOW] = AsEntry(&EntryGetCanvasWindow);
    table[HOST_MAKE_ANAGLYPH] = AsEntry(&EntryMakeAnaglyph);
    table[HOST_DESTROY_CANVAS] = AsEntry(&EntryDestroyCanvas);
    table[HOST_CREATE_CANVAS] = AsEntry(&EntryCreateCanvas);
    table[HOST_SELECT_CANVAS] = AsEntry(&EntrySelectCanvas);
    table[HOST_SET_RIGHT_CANVAS] = AsEntry(&EntrySetRightCanvas);
    table[HOST_HAS_CANVAS] = AsEntry(&EntryHasCanvas);
    table[HOST_HAS_RIGHT_CANVAS] = AsEntry(&EntryHasRightCanvas);
    table[HOST_REFRESH_CANVAS] = AsEntry(&EntryRefreshCanvas);
    table[HOST_SET_VIEW_MARGIN] = AsEntry(&EntrySetViewMargin);
    table[HOST_GET_VIEW_RECT] = AsEntry(&EntryGetViewRect);
    table[HOST_SET_PROJECTION] = AsEntry(&EntrySetProjection);
    table[HOST_SET_STEREO_VIEW] = AsEntry(&EntrySetStereoView);
    table[HOST_FINISH_MODEL] = AsEntry(&EntryFinishModel);
    table[HOST_IS_MODELING] = AsEntry(&EntryIsModeling);
    table[HOST_STOP_RUN] = AsEntry(&EntryStopRun);
    return table;
}

struct Module {
    HMODULE handle = nullptr;
    ZiltorLoadFn load = nullptr;
    ZiltorUnloadFn unload = nullptr;
    ZiltorCommandFn command = nullptr;
    explicit Module(const char *path) : handle(LoadLibraryA(path))
    {
        if (!handle)
            return;
        load = reinterpret_cast<ZiltorLoadFn>(reinterpret_cast<void *>(GetProcAddress(handle, "ZiltorH_Load")));
        unload = reinterpret_cast<ZiltorUnloadFn>(reinterpret_cast<void *>(GetProcAddress(handle, "ZiltorH_Unload")));
        command =
            reinterpret_cast<ZiltorCommandFn>(reinterpret_cast<void *>(GetProcAddress(handle, "ZiltorH_Command")));
    }
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;
    ~Module()
    {
        if (handle)
            FreeLibrary(handle);
    }
    bool Complete() const { return load && unload && command; }
};

std::FILE *Messages = stdout;

void PrintMessages(Host &host, const std::string &where)
{
    for (const auto &message : host.messages)
        std::fprintf(Messages, "%s: %s\n", where.c_str(), message.c_str());
    host.messages.clear();
}

// Runs every line of script; whether a command failed.
bool RunLines(const Module &module, Host &host, const std::string &script, const std::string &name)
{
    bool failed = false;
    int lineNumber = 0;
    std::istringstream lines(script);
    // The tokenizer drops a CR left by a CR LF line end.
    for (std::string line; std::getline(lines, line);) {
        lineNumber++;
        auto tokens = tesselin::TokenizeLine(line);
        if (!tokens || tokens->empty())
            continue;
        std::vector<std::string> texts = tesselin::TokenTexts(*tokens);
        std::vector<char *> pointers;
        for (auto &text : texts)
            pointers.push_back(text.data());
        const char *result = module.command(int(pointers.size()), pointers.data());
        host.CheckDrawingSettings();
        std::string where = name + ":" + std::to_string(lineNumber);
        if (result && *result) {
            std::fprintf(Messages, "%s: %s\n", where.c_str(), result);
            if (std::strncmp(result, "Error!", 6) == 0)
                failed = true;
        }
        PrintMessages(host, where);
        if (host.stopRequested)
            break;
    }
    return failed;
}

Pixels PixelsOf(const Canvas &canvas) { return {canvas.width, canvas.height, canvas.bits}; }

struct Pictures {
    std::optional<Pixels> window, right;
};

Pictures Snapshot(const Host &host)
{
    Pictures pictures;
    if (const Canvas *window = host.Window())
        pictures.window = PixelsOf(*window);
    if (const Canvas *right = host.Right())
        pictures.right = PixelsOf(*right);
    return pictures;
}

} // namespace

int RunScriptFile(const std::string &modulePath, const std::string &scriptPath, const PictureWriter &write,
                  const RunOptions &options)
{
    Messages = options.messages;
    std::ifstream file(scriptPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", scriptPath.c_str());
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::string script = text.str();

    Module module(modulePath.c_str());
    if (!module.handle) {
        std::fprintf(Messages, "LoadLibrary %s failed: error %lu\n", modulePath.c_str(), GetLastError());
        return 2;
    }
    if (!module.Complete()) {
        std::fprintf(Messages, "%s lacks an entry point\n", modulePath.c_str());
        return 2;
    }
    int status = 0;
    {
        Host host;
        Active = &host;
        auto table = MakeTable();
        const char *name = nullptr;
        module.load(&name, table.data());
        if (options.sayLoaded)
            std::fprintf(Messages, "loaded: %s\n", name ? name : "(no name)");
        PrintMessages(host, "load");
        if (RunLines(module, host, script, scriptPath))
            status = 1;
        GdiFlush();
        Pictures pictures = Snapshot(host);
        if (!write(pictures.window ? &*pictures.window : nullptr, pictures.right ? &*pictures.right : nullptr))
            status = 1;
        module.unload();
        PrintMessages(host, "unload");
        Active = nullptr;
    }
    std::fflush(Messages);
    return status;
}

} // namespace tesselin::windows
