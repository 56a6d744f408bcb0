#include "app/console/prompt_window.h"
#include "app/camera/orbit.h"

#include <readline/readline.h>

namespace tesselin {

namespace {

// The line editor's event hook is a plain function: it finds the window here.
PromptCanvas *Attached = nullptr;

int PollAttached()
{
    if (Attached)
        Attached->Poll();
    return 0;
}

} // namespace

std::unique_ptr<PromptCanvas> PromptCanvas::Open()
{
    std::string error;
    auto window = CanvasWindow::Open("Tesselin canvas", error);
    if (!window)
        return nullptr;
    return std::unique_ptr<PromptCanvas>(new PromptCanvas(std::move(window)));
}

PromptCanvas::~PromptCanvas()
{
    if (Attached == this) {
        Attached = nullptr;
        rl_event_hook = nullptr;
    }
}

void PromptCanvas::Repaint(const Image &image, bool raise)
{
    if (window_->Hidden() && !raise)
        return;
    window_->Show(image);
    Poll();
}

void PromptCanvas::Poll()
{
    for (const WindowInput &input : window_->Events(0)) {
        if (input.kind == WindowInput::Kind::Close || (input.kind == WindowInput::Kind::Key && input.key == '\x1b'))
            window_->Hide();
        else if (input.kind == WindowInput::Kind::Drag || input.kind == WindowInput::Kind::Wheel)
            Turn(input);
    }
}

void PromptCanvas::Turn(const WindowInput &input)
{
    if (!session_)
        return;
    CanvasHost &host = session_->Host();
    Camera camera = host.GetCamera();
    if (input.kind == WindowInput::Kind::Drag) {
        camera = Dragged(camera, input.dx, input.dy);
    } else {
        auto projection = host.SceneProjection();
        camera = Wheeled(camera, input.steps, projection ? projection->distance : 0);
    }
    // Without a kept frame the camera still holds for the next frame drawn.
    session_->SetCamera(camera);
    if (session_->RedrawLastFrame() && !window_->Hidden())
        if (const Canvas *window = host.WindowCanvas())
            window_->Show(window->Snapshot());
}

void PromptCanvas::AttachToLineEditor()
{
    Attached = this;
    rl_event_hook = &PollAttached;
}

} // namespace tesselin
