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
    auto window = CanvasThread::Open("Tesselin canvas", error);
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
    window_->Show(image, raise);
}

void PromptCanvas::Poll()
{
    bool turned = false;
    for (const WindowInput &input : window_->TakeTurns())
        turned = Turn(input) || turned;
    // Turns that came together are drawn once, with the camera after all.
    if (turned && session_->RedrawLastFrame())
        if (const Canvas *window = session_->Host().WindowCanvas())
            window_->Show(window->Snapshot(), false);
}

bool PromptCanvas::Turn(const WindowInput &input)
{
    if (!session_)
        return false;
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
    return true;
}

void PromptCanvas::AttachToLineEditor()
{
    Attached = this;
    rl_event_hook = &PollAttached;
}

} // namespace tesselin
