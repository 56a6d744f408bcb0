#include "tests/fuzz/fuzz_host.h"
#include "plugin/tesselin.h"
#include "tests/doubles/recording_gl.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace fuzz_host {
namespace {

// Small canvases keep fuzzing fast; a real host's own limit is larger.
constexpr int MaxCanvasSide = 512;
constexpr int MaxWorthwhileCount = 2000;

struct Canvas {
    CanvasRecord record[CANVAS_FIELDS] = {};
    TesselinSurface surface = {};
    std::vector<uint32_t> pixels;
    size_t number = 0;

    Canvas(int width, int height) : pixels(size_t(width) * height, 0x00FFFFFF)
    {
        surface = TesselinSurface{TESSELIN_SURFACE_MAGIC, width, height, width, pixels.data()};
        record[CANVAS_FIELD_DC] = reinterpret_cast<CanvasRecord>(&surface);
        record[CANVAS_FIELD_WIDTH] = width;
        record[CANVAS_FIELD_HEIGHT] = height;
    }
};

struct Host {
    std::vector<std::unique_ptr<Canvas>> canvases;
    Canvas *selected = nullptr;
    Canvas *right = nullptr;
    int selectedFor3d = 0;
    int viewSet = 0;
    size_t made = 0;
    Canvas window{64, 32};
    Gates gates;
    HostEntry table[HOST_TABLE_SIZE] = {};
};

Host &TheHost()
{
    static Host host;
    return host;
}

// A canvas the plug-in hands back must be one the host holds now: anything
// else is a canvas used after it was destroyed, or never made.
Canvas *Held(const CanvasRecord *record)
{
    if (!record)
        return nullptr;
    for (auto &canvas : TheHost().canvases)
        if (canvas->record == record)
            return canvas.get();
    __builtin_trap();
}

// Reads what a view record holds, so a bad pointer is caught where it is passed.
void Touch(const ViewRecord *view)
{
    volatile int32_t amount = view->amount;
    (void)amount;
}

int ZILTOR_CALL ShowCanvasWindow() { return 0; }
int ZILTOR_CALL CopyCanvas() { return 0; }
HWND ZILTOR_CALL GetCanvasWindow() { return reinterpret_cast<HWND>(&TheHost().window.surface); }
int ZILTOR_CALL MakeAnaglyph(COLORREF, COLORREF) { return 0; }

int ZILTOR_CALL DestroyCanvas(CanvasRecord *record)
{
    Host &host = TheHost();
    Canvas *canvas = Held(record);
    if (!canvas)
        return 0;
    if (host.selected == canvas)
        host.selected = nullptr, host.viewSet = 0;
    if (host.right == canvas)
        host.right = nullptr;
    std::erase_if(host.canvases, [canvas](const auto &held) { return held.get() == canvas; });
    return 1;
}

CanvasRecord *ZILTOR_CALL CreateCanvas(int width, int height)
{
    if (width < 1 || height < 1 || width > MaxCanvasSide || height > MaxCanvasSide)
        return nullptr;
    Host &host = TheHost();
    host.canvases.push_back(std::make_unique<Canvas>(width, height));
    host.canvases.back()->number = host.made++;
    return host.canvases.back()->record;
}

int ZILTOR_CALL SelectCanvas(CanvasRecord *record, int for3d)
{
    Host &host = TheHost();
    host.selected = Held(record);
    host.selectedFor3d = host.selected && for3d;
    host.viewSet = 0;
    return 0;
}

int ZILTOR_CALL SetRightCanvas(CanvasRecord *record)
{
    TheHost().right = Held(record);
    return 0;
}

int ZILTOR_CALL HasCanvas() { return !TheHost().gates.forceNoCanvas && !TheHost().canvases.empty(); }
int ZILTOR_CALL HasRightCanvas() { return TheHost().right != nullptr; }
int ZILTOR_CALL RefreshCanvas(int, int) { return 0; }

int ZILTOR_CALL SetViewMargin(ViewRecord *view, int amount, int, int)
{
    view->amount = amount;
    return 0;
}

int ZILTOR_CALL GetViewRect(ViewRecord *view, int)
{
    const Canvas *canvas = TheHost().selected;
    view->amount = 0;
    view->rect = RECT{0, 0, canvas ? canvas->surface.width : 0, canvas ? canvas->surface.height : 0};
    return 0;
}

int ZILTOR_CALL SetProjection(ViewRecord *view, int, double, double, double, double)
{
    Touch(view);
    return 0;
}

int ZILTOR_CALL SetStereoView(ViewRecord *view, int, double)
{
    Touch(view);
    TheHost().viewSet = TheHost().selectedFor3d;
    return 0;
}

int ZILTOR_CALL FinishModel() { return 0; }

int ZILTOR_CALL IsModeling()
{
    const Host &host = TheHost();
    return host.gates.forceModeling >= 0 ? host.gates.forceModeling : host.viewSet;
}

int ZILTOR_CALL StopRun(const char *text, int, int)
{
    volatile size_t length = text ? std::strlen(text) : 0;
    (void)length;
    return 0;
}

// The explicit type makes the compiler check that the function has exactly
// the type the plug-in calls the entry through.
template <typename EntryType> HostEntry Entry(EntryType function)
{
    return reinterpret_cast<HostEntry>(function);
}

void FillTable(HostEntry *table)
{
    table[HOST_SHOW_CANVAS_WINDOW] = Entry<ShowCanvasWindowEntry>(&ShowCanvasWindow);
    table[HOST_COPY_CANVAS] = Entry<CopyCanvasEntry>(&CopyCanvas);
    table[HOST_GET_CANVAS_WINDOW] = Entry<GetCanvasWindowEntry>(&GetCanvasWindow);
    table[HOST_MAKE_ANAGLYPH] = Entry<MakeAnaglyphEntry>(&MakeAnaglyph);
    table[HOST_DESTROY_CANVAS] = Entry<DestroyCanvasEntry>(&DestroyCanvas);
    table[HOST_CREATE_CANVAS] = Entry<CreateCanvasEntry>(&CreateCanvas);
    table[HOST_SELECT_CANVAS] = Entry<SelectCanvasEntry>(&SelectCanvas);
    table[HOST_SET_RIGHT_CANVAS] = Entry<SetRightCanvasEntry>(&SetRightCanvas);
    table[HOST_HAS_CANVAS] = Entry<HasCanvasEntry>(&HasCanvas);
    table[HOST_HAS_RIGHT_CANVAS] = Entry<HasRightCanvasEntry>(&HasRightCanvas);
    table[HOST_REFRESH_CANVAS] = Entry<RefreshCanvasEntry>(&RefreshCanvas);
    table[HOST_SET_VIEW_MARGIN] = Entry<SetViewMarginEntry>(&SetViewMargin);
    table[HOST_GET_VIEW_RECT] = Entry<GetViewRectEntry>(&GetViewRect);
    table[HOST_SET_PROJECTION] = Entry<SetProjectionEntry>(&SetProjection);
    table[HOST_SET_STEREO_VIEW] = Entry<SetStereoViewEntry>(&SetStereoView);
    table[HOST_FINISH_MODEL] = Entry<FinishModelEntry>(&FinishModel);
    table[HOST_IS_MODELING] = Entry<IsModelingEntry>(&IsModeling);
    table[HOST_STOP_RUN] = Entry<StopRunEntry>(&StopRun);
}

}

HostEntry *Table()
{
    Host &host = TheHost();
    if (!host.table[HOST_CREATE_CANVAS]) {
        FillTable(host.table);
        recording_gl::SetRecording(false);
    }
    return host.table;
}

Gates &CurrentGates()
{
    return TheHost().gates;
}

size_t NextCanvasNumber()
{
    return TheHost().made;
}

size_t LiveCanvasesFrom(size_t number)
{
    const auto &canvases = TheHost().canvases;
    return std::count_if(canvases.begin(), canvases.end(), [number](const auto &c) { return c->number >= number; });
}

std::vector<std::string> SplitLine(const std::string &line)
{
    std::vector<std::string> tokens;
    std::string token;
    bool quoted = false, inToken = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inToken)
                tokens.push_back(token);
            token.clear();
            inToken = false;
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken)
        tokens.push_back(token);
    return tokens;
}

bool WorthRunning(const std::vector<std::string> &tokens)
{
    if (tokens.empty() || (tokens[0] != "cylinder" && tokens[0] != "torus"))
        return true;
    return std::none_of(tokens.begin() + 1, tokens.end(),
                        [](const std::string &t) { return TokenToInt(t.c_str()) > MaxWorthwhileCount; });
}

void RunCommand(std::vector<std::string> &tokens)
{
    std::vector<char *> pointers;
    for (std::string &t : tokens)
        pointers.push_back(t.data());
    const char *result = ZiltorH_Command(static_cast<int>(pointers.size()), pointers.data());
    if (result && std::strlen(result) >= MESSAGE_BUFFER_SIZE)
        __builtin_trap();
}

}
