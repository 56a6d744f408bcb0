// The canvas window on a desktop: a window of the display showing an image,
// exactly as given (one image pixel per window pixel), and what the person
// does in it. Rendering stays headless; this window only shows pictures.
#ifndef TESSELIN_APP_VIEW_WINDOW_H
#define TESSELIN_APP_VIEW_WINDOW_H

#include "app/picture/image.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesselin {

// Something the person did in the window.
struct WindowInput {
    enum class Kind { Close, Key, Drag, Wheel };
    Kind kind = Kind::Close;
    char key = 0;         // Key: the key's character, lower case ('\x1b' for Escape)
    int dx = 0, dy = 0;   // Drag: pixels moved with the left button down
    int steps = 0;        // Wheel: notches, positive away from the person
};

// Whether a display seems to exist at all (DISPLAY or WAYLAND_DISPLAY set).
bool DisplayNamed();

class CanvasWindow {
public:
    // Opens a window on the display; none with the reason in error when
    // there is no display or it cannot be reached.
    static std::unique_ptr<CanvasWindow> Open(const std::string &title, std::string &error);
    ~CanvasWindow();
    CanvasWindow(const CanvasWindow &) = delete;
    CanvasWindow &operator=(const CanvasWindow &) = delete;

    // Shows image, resizing the window to it; the window shows it again
    // whenever the display asks for a repaint.
    void Show(const Image &image);
    void SetTitle(const std::string &title);
    // Shows the window again after the person closed it.
    void Raise();
    bool Hidden() const { return hidden_; }
    // What the window shows, read back from its own pixels (empty before
    // the first Show).
    Image Content() const;
    // Everything the person did since the last call; waits up to
    // timeoutMs for the first event when nothing is pending.
    std::vector<WindowInput> Events(int timeoutMs);
    // Hides the window (the command window's canvas window can be shown again).
    void Hide();
    // Makes a wait in Events end now; from any thread, while a window is open.
    static void Wake();

private:
    CanvasWindow() = default;
    void Present(bool resized);

    struct Sdl;
    std::unique_ptr<Sdl> sdl_;
    Image shown_;
    bool hidden_ = false;
};

} // namespace tesselin

#endif
