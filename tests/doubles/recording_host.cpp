#include "tests/doubles/recording_host.h"
#include "plugin/tesselin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <type_traits>

RecordingHost *CurrentHost;

namespace {
std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string ViewName(const ViewRecord *view)
{
    if (view == &CanvasView)
        return "CanvasView";
    if (view == &SceneView)
        return "SceneView";
    return view ? "view" : "none";
}

template <typename... Parts> void Record(const char *name, Parts... parts)
{
    std::string text = std::string(name) + "(";
    int i = 0;
    ((text += (i++ ? ", " : "") + std::string(parts)), ...);
    CurrentHost->calls.push_back(text + ")");
}

std::string Hex(COLORREF colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", colour);
    return text;
}

int ZILTOR_CALL ShowCanvasWindowDouble() { Record("ShowCanvasWindow"); return 0; }
int ZILTOR_CALL CopyCanvasDouble() { Record("CopyCanvas"); return 0; }
HWND ZILTOR_CALL GetCanvasWindowDouble()
{
    Record("GetCanvasWindow");
    return reinterpret_cast<HWND>(&CurrentHost->window.surface);
}
int ZILTOR_CALL MakeAnaglyphDouble(COLORREF left, COLORREF right)
{
    Record("MakeAnaglyph", Hex(left), Hex(right));
    return 0;
}
int ZILTOR_CALL DestroyCanvasDouble(CanvasRecord *canvas)
{
    Record("DestroyCanvas", CurrentHost->NameOf(canvas));
    FakeCanvas *fake = CurrentHost->CanvasOf(canvas);
    EXPECT_TRUE(fake && !fake->destroyed) << "DestroyCanvas of a canvas that does not live";
    if (fake)
        fake->destroyed = true;
    return 0;
}
CanvasRecord *ZILTOR_CALL CreateCanvasDouble(int width, int height)
{
    Record("CreateCanvas", Number(width), Number(height));
    if (!CurrentHost->acceptCanvas(width, height))
        return nullptr;
    auto canvas = std::make_unique<FakeCanvas>();
    canvas->id = static_cast<int>(CurrentHost->canvases.size()) + 1;
    if (int limit = CurrentHost->sizeLimit) {
        width = std::min(width, limit);
        height = std::min(height, limit);
    }
    MakeSurface(*canvas, width, height, 0x00FFFFFF);
    CurrentHost->canvases.push_back(std::move(canvas));
    return CurrentHost->canvases.back()->record;
}
int ZILTOR_CALL SelectCanvasDouble(CanvasRecord *canvas, int for3d)
{
    Record("SelectCanvas", CurrentHost->NameOf(canvas), Number(for3d));
    CurrentHost->selected = CurrentHost->CanvasOf(canvas);
    return 0;
}
int ZILTOR_CALL SetRightCanvasDouble(CanvasRecord *canvas)
{
    Record("SetRightCanvas", CurrentHost->NameOf(canvas));
    CurrentHost->hasRightCanvas = canvas != nullptr;
    return 0;
}
int ZILTOR_CALL HasCanvasDouble() { Record("HasCanvas"); return CurrentHost->hasCanvas; }
int ZILTOR_CALL HasRightCanvasDouble() { Record("HasRightCanvas"); return CurrentHost->hasRightCanvas; }
int ZILTOR_CALL RefreshCanvasDouble(int zero, int what)
{
    Record("RefreshCanvas", Number(zero), Number(what));
    return 0;
}
int ZILTOR_CALL SetViewMarginDouble(ViewRecord *view, int amount, int zero1, int zero2)
{
    Record("SetViewMargin", ViewName(view), Number(amount), Number(zero1), Number(zero2));
    view->amount = amount + CurrentHost->marginBias;
    return 0;
}
int ZILTOR_CALL GetViewRectDouble(ViewRecord *view, int zero)
{
    Record("GetViewRect", ViewName(view), Number(zero));
    FakeCanvas *canvas = CurrentHost->selected;
    view->amount = 0;
    view->rect = RECT{0, 0, canvas ? canvas->surface.width : 0, canvas ? canvas->surface.height : 0};
    return 0;
}
int ZILTOR_CALL SetProjectionDouble(ViewRecord *view, int ortho, double a, double b, double c, double d)
{
    Record("SetProjection", ViewName(view), Number(ortho), Number(a), Number(b), Number(c), Number(d));
    return 0;
}
int ZILTOR_CALL SetStereoViewDouble(ViewRecord *view, int stereo, double amount)
{
    Record("SetStereoView", ViewName(view), Number(stereo), Number(amount));
    return 0;
}
int ZILTOR_CALL FinishModelDouble() { Record("FinishModel"); return 0; }
int ZILTOR_CALL IsModelingDouble() { Record("IsModeling"); return CurrentHost->isModeling; }
int ZILTOR_CALL StopRunDouble(const char *text, int zero1, int zero2)
{
    Record("StopRun", text ? "\"" + std::string(text) + "\"" : std::string("none"), Number(zero1), Number(zero2));
    return 0;
}

// Every double has exactly the type of the entry it stands for.
#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args)                                                \
    static_assert(std::is_same_v<decltype(&name##Double), name##Entry>, #name "Double has the wrong type");
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM

template <int Index> void ZILTOR_CALL UnexpectedEntry()
{
    ADD_FAILURE() << "the plug-in called host table slot " << Index << ", which it must not use";
}

template <int... Index> void FillUnexpected(HostEntry *table, std::integer_sequence<int, Index...>)
{
    ((table[Index] = &UnexpectedEntry<Index>), ...);
}

template <typename Fn> HostEntry Entry(Fn fn)
{
    return reinterpret_cast<HostEntry>(fn);
}
}

long FakeCanvas::Count(uint32_t colour, int left, int top, int right, int bottom) const
{
    long n = 0;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++)
            n += (Pixel(x, y) & 0x00FFFFFF) == colour;
    return n;
}

void MakeSurface(FakeCanvas &canvas, int width, int height, uint32_t fill)
{
    canvas.pixels.assign(size_t(width) * height, fill);
    canvas.surface = TesselinSurface{TESSELIN_SURFACE_MAGIC, width, height, width, canvas.pixels.data()};
    canvas.record[CANVAS_FIELD_DC] = reinterpret_cast<CanvasRecord>(&canvas.surface);
    canvas.record[CANVAS_FIELD_WIDTH] = width;
    canvas.record[CANVAS_FIELD_HEIGHT] = height;
}

RecordingHost::RecordingHost()
{
    FillUnexpected(table, std::make_integer_sequence<int, HOST_TABLE_SIZE>());
#define HOST_ENTRY_ITEM(slot, index, name, ret, params, args) table[index] = Entry(&name##Double);
#include "host/host_entries.inc"
#undef HOST_ENTRY_ITEM
    MakeSurface(window, 400, 300, 0x00FFFFFF);
    CurrentHost = this;
}

RecordingHost::~RecordingHost()
{
    if (CurrentHost == this)
        CurrentHost = nullptr;
}

FakeCanvas *RecordingHost::CanvasOf(const CanvasRecord *record) const
{
    for (const auto &canvas : canvases)
        if (canvas->record == record)
            return canvas.get();
    return nullptr;
}

std::string RecordingHost::NameOf(const CanvasRecord *record) const
{
    if (!record)
        return "none";
    FakeCanvas *canvas = CanvasOf(record);
    return canvas ? "canvas" + std::to_string(canvas->id) : "unknown";
}

std::vector<std::string> RecordingHost::CallsStartingWith(const std::string &prefix) const
{
    std::vector<std::string> picked;
    for (const std::string &call : calls)
        if (call.rfind(prefix, 0) == 0)
            picked.push_back(call);
    return picked;
}
