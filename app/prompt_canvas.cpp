#include "app/prompt_canvas.h"

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
    for (const WindowInput &input : window_->Events(0))
        if (input.kind == WindowInput::Kind::Close || (input.kind == WindowInput::Kind::Key && input.key == '\x1b'))
            window_->Hide();
}

void PromptCanvas::AttachToLineEditor()
{
    Attached = this;
    rl_event_hook = &PollAttached;
}

} // namespace tesselin
