#include "app/view/window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace tesselin {

struct CanvasWindow::Sdl {
    SDL_Window *window = nullptr;
    ~Sdl()
    {
        if (window)
            SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

namespace {

// Canvas pixels are 0x00BBGGRR words: red in the lowest byte.
constexpr Uint32 CanvasFormat = SDL_PIXELFORMAT_XBGR8888;

struct SurfaceFree {
    void operator()(SDL_Surface *surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

char KeyCharacter(SDL_Keycode key)
{
    if (key == SDLK_ESCAPE)
        return '\x1b';
    if ((key >= SDLK_a && key <= SDLK_z) || (key >= SDLK_0 && key <= SDLK_9))
        return char(key);
    return 0;
}

} // namespace

namespace {

bool Named(const char *variable)
{
    const char *value = std::getenv(variable);
    return value && *value;
}

} // namespace

bool DisplayNamed()
{
    return Named("DISPLAY") || Named("WAYLAND_DISPLAY");
}

std::unique_ptr<CanvasWindow> CanvasWindow::Open(const std::string &title, std::string &error)
{
    if (!DisplayNamed()) {
        error = "there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        return nullptr;
    }
    // Ctrl-C keeps its usual meaning at the prompt and in the terminal.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The window's pixels go to the display as they are (X shared memory),
    // not through an OpenGL texture: no second OpenGL beside the headless
    // one, and no scaling or filtering of the picture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Only the display that is named: SDL would otherwise fall back to
    // drivers that draw nowhere a person can see (offscreen, the console).
    if (!Named("SDL_VIDEODRIVER")) {
        const char *drivers = !Named("WAYLAND_DISPLAY") ? "x11" : Named("DISPLAY") ? "wayland,x11" : "wayland";
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("the display cannot be opened: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<CanvasWindow> window(new CanvasWindow());
    window->sdl_ = std::make_unique<Sdl>();
    // The window appears with the first picture, at its size.
    window->sdl_->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 400, 300,
                                            SDL_WINDOW_HIDDEN);
    if (!window->sdl_->window) {
        error = std::string("the window cannot be made: ") + SDL_GetError();
        return nullptr;
    }
    window->hidden_ = true;
    return window;
}

CanvasWindow::~CanvasWindow() = default;

void CanvasWindow::Show(const Image &image)
{
    if (image.Empty())
        return;
    SDL_Window *window = sdl_->window;
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    bool resized = width != image.width || height != image.height;
    if (resized)
        SDL_SetWindowSize(window, image.width, image.height);
    shown_ = image;
    if (hidden_) {
        SDL_ShowWindow(window);
        hidden_ = false;
    }
    Present(resized);
}

void CanvasWindow::Present(bool resized)
{
    if (shown_.Empty() || hidden_)
        return;
    SDL_Window *window = sdl_->window;
    // The display may take a moment to give the window the size just asked
    // for. A size the person gave it is kept: the picture is drawn into it
    // as it is, at once.
    SDL_Surface *target = SDL_GetWindowSurface(window);
    for (int attempt = 0; resized && attempt < 100; attempt++) {
        if (target && target->w == shown_.width && target->h == shown_.height)
            break;
        SDL_PumpEvents();
        SDL_Delay(10);
        target = SDL_GetWindowSurface(window);
    }
    if (!target)
        return;
    SurfacePtr source(SDL_CreateRGBSurfaceWithFormatFrom(shown_.pixels.data(), shown_.width, shown_.height, 32,
                                                         shown_.width * 4, CanvasFormat));
    if (!source)
        return;
    SDL_SetSurfaceBlendMode(source.get(), SDL_BLENDMODE_NONE);
    SDL_BlitSurface(source.get(), nullptr, target, nullptr);
    SDL_UpdateWindowSurface(window);
}

void CanvasWindow::SetTitle(const std::string &title)
{
    SDL_SetWindowTitle(sdl_->window, title.c_str());
}

void CanvasWindow::Raise()
{
    SDL_ShowWindow(sdl_->window);
    hidden_ = false;
    Present(false);
}

void CanvasWindow::Hide()
{
    SDL_HideWindow(sdl_->window);
    hidden_ = true;
}

void CanvasWindow::Wake()
{
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    SDL_PushEvent(&event);
}

Image CanvasWindow::Content() const
{
    SDL_Surface *target = SDL_GetWindowSurface(sdl_->window);
    if (!target || shown_.Empty())
        return {};
    SurfacePtr copy(SDL_ConvertSurfaceFormat(target, CanvasFormat, 0));
    if (!copy)
        return {};
    Image image(copy->w, copy->h);
    SDL_LockSurface(copy.get());
    for (int y = 0; y < copy->h; y++) {
        const auto *row = reinterpret_cast<const uint32_t *>(static_cast<const char *>(copy->pixels) + y * copy->pitch);
        for (int x = 0; x < copy->w; x++)
            image.At(x, y) = row[x] & 0x00FFFFFFu;
    }
    SDL_UnlockSurface(copy.get());
    return image;
}

std::vector<WindowInput> CanvasWindow::Events(int timeoutMs)
{
    std::vector<WindowInput> inputs;
    SDL_Event event;
    bool any = timeoutMs > 0 ? SDL_WaitEventTimeout(&event, timeoutMs) : SDL_PollEvent(&event);
    for (; any; any = SDL_PollEvent(&event)) {
        WindowInput input;
        switch (event.type) {
        case SDL_QUIT:
            input.kind = WindowInput::Kind::Close;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                input.kind = WindowInput::Kind::Close;
                break;
            }
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                Present(false);
            continue;
        case SDL_KEYDOWN:
            input.kind = WindowInput::Kind::Key;
            input.key = KeyCharacter(event.key.keysym.sym);
            if (!input.key || event.key.repeat)
                continue;
            break;
        case SDL_MOUSEMOTION:
            if (!(event.motion.state & SDL_BUTTON_LMASK))
                continue;
            if (!inputs.empty() && inputs.back().kind == WindowInput::Kind::Drag) {
                inputs.back().dx += event.motion.xrel;
                inputs.back().dy += event.motion.yrel;
                continue;
            }
            input.kind = WindowInput::Kind::Drag;
            input.dx = event.motion.xrel;
            input.dy = event.motion.yrel;
            break;
        case SDL_MOUSEWHEEL:
            input.kind = WindowInput::Kind::Wheel;
            input.steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            if (!input.steps)
                continue;
            break;
        default:
            continue;
        }
        inputs.push_back(input);
    }
    return inputs;
}

} // namespace tesselin
