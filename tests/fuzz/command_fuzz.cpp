// Feeds arbitrary command lines to ZiltorH_Command. Built as a libFuzzer target
// when the compiler is clang (tesselin_fuzz), and run over a fixed set of
// generated inputs by the robustness test in every build. The host answers like
// a well-behaved host but sometimes says there is no canvas or no model, so
// commands meet every gate; OpenGL is the recording double with recording off.
#include "plugin/tesselin.h"
#include "tests/doubles/recording_gl.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Keywords the fuzzer may use. help opens a browser, and arrayf and picture open
// files named by the input, so those three are left to their own tests.
const char *const Keywords[] = {
    "copy", "anaglyph", "stop", "canvas", "erase", "clear", "finish", "light", "ambient", "push",
    "pop", "rotate", "scale", "move", "color", "diffuse", "shine", "emit", "out", "in", "solid",
    "wire", "dot", "triad", "quad", "polygon", "disk", "pipe", "horn", "cube", "sphere", "cylinder",
    "torus", "array", "line", "dots", "text", "hgrad", "vgrad", "nonsense"};

struct FuzzCanvas {
    CanvasRecord record[CANVAS_FIELDS] = {};
    TesselinSurface surface = {};
    std::vector<uint32_t> pixels;
};

struct FuzzHost {
    std::vector<std::unique_ptr<FuzzCanvas>> canvases;
    FuzzCanvas *selected = nullptr;
    FuzzCanvas window;
    int hasCanvas = 1, isModeling = 1;
    HostEntry table[HOST_TABLE_SIZE] = {};
};

FuzzHost *Host;

void MakeCanvas(FuzzCanvas &canvas, int width, int height)
{
    canvas.pixels.assign(size_t(width) * height, 0x00FFFFFF);
    canvas.surface = TesselinSurface{TESSELIN_SURFACE_MAGIC, width, height, width, canvas.pixels.data()};
    canvas.record[CANVAS_FIELD_DC] = reinterpret_cast<CanvasRecord>(&canvas.surface);
    canvas.record[CANVAS_FIELD_WIDTH] = width;
    canvas.record[CANVAS_FIELD_HEIGHT] = height;
}

int ZILTOR_CALL Nothing() { return 0; }
HWND ZILTOR_CALL Window() { return reinterpret_cast<HWND>(&Host->window.surface); }
CanvasRecord *ZILTOR_CALL Create(int width, int height)
{
    // Small canvases keep the fuzzer fast; the size limit of a real host is its own.
    if (width < 1 || height < 1 || width > 512 || height > 512)
        return nullptr;
    Host->canvases.push_back(std::make_unique<FuzzCanvas>());
    MakeCanvas(*Host->canvases.back(), width, height);
    return Host->canvases.back()->record;
}
int ZILTOR_CALL Select(CanvasRecord *canvas, int)
{
    Host->selected = nullptr;
    for (auto &c : Host->canvases)
        if (c->record == canvas)
            Host->selected = c.get();
    return 0;
}
int ZILTOR_CALL HasCanvasAnswer() { return Host->hasCanvas; }
int ZILTOR_CALL IsModelingAnswer() { return Host->isModeling; }
int ZILTOR_CALL ViewRect(ViewRecord *view, int)
{
    view->amount = 0;
    view->rect = RECT{0, 0, Host->selected ? Host->selected->surface.width : 0,
                      Host->selected ? Host->selected->surface.height : 0};
    return 0;
}
int ZILTOR_CALL Margin(ViewRecord *view, int amount, int, int)
{
    view->amount = amount;
    return 0;
}

template <typename Fn> HostEntry Entry(Fn fn) { return reinterpret_cast<HostEntry>(fn); }

FuzzHost &StartHost()
{
    static FuzzHost host;
    if (!Host) {
        Host = &host;
        for (HostEntry &entry : host.table)
            entry = Entry(&Nothing);
        host.table[HOST_GET_CANVAS_WINDOW] = Entry(&Window);
        host.table[HOST_CREATE_CANVAS] = Entry(&Create);
        host.table[HOST_SELECT_CANVAS] = Entry(&Select);
        host.table[HOST_HAS_CANVAS] = Entry(&HasCanvasAnswer);
        host.table[HOST_HAS_RIGHT_CANVAS] = Entry(&HasCanvasAnswer);
        host.table[HOST_IS_MODELING] = Entry(&IsModelingAnswer);
        host.table[HOST_GET_VIEW_RECT] = Entry(&ViewRect);
        host.table[HOST_SET_VIEW_MARGIN] = Entry(&Margin);
        MakeCanvas(host.window, 64, 32);
        recording_gl::SetRecording(false);
        const char *name;
        ZiltorH_Load(&name, host.table);
    }
    return host;
}

}

const char *const *FuzzKeywords(size_t *count)
{
    *count = sizeof Keywords / sizeof *Keywords;
    return Keywords;
}

// Input: one control byte (gates), one keyword byte, then the tokens separated
// by spaces or NUL bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzHost &host = StartHost();
    if (size < 2)
        return 0;
    host.hasCanvas = (data[0] & 3) != 0;
    host.isModeling = (data[0] & 4) == 0;
    std::vector<std::string> tokens{Keywords[data[1] % (sizeof Keywords / sizeof *Keywords)]};
    std::string token;
    for (size_t i = 2; i < size && tokens.size() < 400; i++) {
        char c = static_cast<char>(data[i]);
        if (c == ' ' || c == '\0') {
            if (!token.empty())
                tokens.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty())
        tokens.push_back(token);
    std::vector<char *> pointers;
    for (std::string &t : tokens)
        pointers.push_back(t.data());
    const char *result = ZiltorH_Command(static_cast<int>(pointers.size()), pointers.data());
    if (result && std::strlen(result) >= MESSAGE_BUFFER_SIZE)
        __builtin_trap();
    return 0;
}
