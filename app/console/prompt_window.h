// The canvas window beside the command window's prompt: it shows the canvas
// window's image as commands change it, and dragging or the wheel in it turns
// the camera and redraws the last finished frame. Closing it only hides it
// until the plug-in next asks to show the canvas window. The window lives on
// a thread of its own (console/canvas_thread.h), so it answers while a
// command runs; its turns are applied between commands.
#ifndef TESSELIN_APP_CONSOLE_PROMPT_WINDOW_H
#define TESSELIN_APP_CONSOLE_PROMPT_WINDOW_H

#include "app/console/canvas_thread.h"
#include "app/session/session.h"

#include <memory>

namespace tesselin {

class PromptCanvas {
public:
    // Opens the window when a display can be reached; none, quietly, when
    // there is none (the command window then stays headless).
    static std::unique_ptr<PromptCanvas> Open();
    ~PromptCanvas();
    PromptCanvas(const PromptCanvas &) = delete;
    PromptCanvas &operator=(const PromptCanvas &) = delete;

    // Shows image; raise shows the window again if it was closed.
    void Repaint(const Image &image, bool raise);
    // Turns the camera as the person did in the window since the last call,
    // and shows the frame redrawn; between commands only.
    void Poll();
    // While attached, the line editor polls the window as it waits for keys.
    void AttachToLineEditor();
    // The session whose camera the mouse turns; it must outlive the polling.
    void AttachSession(Session &session) { session_ = &session; }

private:
    explicit PromptCanvas(std::unique_ptr<CanvasThread> window) : window_(std::move(window)) {}
    // Whether the camera turned.
    bool Turn(const WindowInput &input);

    std::unique_ptr<CanvasThread> window_;
    Session *session_ = nullptr;
};

} // namespace tesselin

#endif
