#include "app/console/canvas_thread.h"

#include <signal.h>

#include <utility>

namespace tesselin {

namespace {

// The window's thread takes no signals: Ctrl-C and the signals that end the
// program reach the commands' thread, whose waits they interrupt.
class SignalsBlocked {
public:
    SignalsBlocked()
    {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsBlocked(const SignalsBlocked &) = delete;
    SignalsBlocked &operator=(const SignalsBlocked &) = delete;

private:
    sigset_t before_;
};

// How long the window's thread waits for the display before it looks for a
// picture anyway; a picture normally wakes it at once.
constexpr int LongestWaitMs = 250;

} // namespace

std::unique_ptr<CanvasThread> CanvasThread::Open(const std::string &title, std::string &error)
{
    std::unique_ptr<CanvasThread> canvas(new CanvasThread());
    {
        // A thread starts with the signal mask of the one that made it.
        SignalsBlocked blocked;
        canvas->thread_ = std::thread([thread = canvas.get(), title] { thread->Run(title); });
    }
    std::unique_lock lock(canvas->mutex_);
    canvas->answered_.wait(lock, [&] { return canvas->shared_.answered; });
    if (canvas->shared_.serving)
        return canvas;
    error = canvas->shared_.error;
    lock.unlock();
    canvas->thread_.join();
    return nullptr;
}

CanvasThread::~CanvasThread()
{
    {
        std::lock_guard lock(mutex_);
        shared_.quit = true;
        if (shared_.serving)
            CanvasWindow::Wake();
    }
    if (thread_.joinable())
        thread_.join();
}

void CanvasThread::Show(const Image &image, bool raise)
{
    Image copy = image;
    std::lock_guard lock(mutex_);
    shared_.image = std::move(copy);
    shared_.raise = shared_.raise || raise;
    if (shared_.serving)
        CanvasWindow::Wake();
}

std::vector<WindowInput> CanvasThread::TakeTurns()
{
    std::lock_guard lock(mutex_);
    return std::exchange(shared_.turns, {});
}

void CanvasThread::Run(const std::string &title)
{
    std::string error;
    std::unique_ptr<CanvasWindow> window = CanvasWindow::Open(title, error);
    {
        std::lock_guard lock(mutex_);
        shared_.answered = true;
        shared_.serving = window != nullptr;
        shared_.error = error;
    }
    answered_.notify_all();
    if (window)
        Serve(*window);
}

void CanvasThread::Serve(CanvasWindow &window)
{
    for (;;) {
        std::vector<WindowInput> inputs = window.Events(LongestWaitMs);
        std::optional<Image> image;
        bool raise = false;
        {
            std::lock_guard lock(mutex_);
            if (shared_.quit) {
                shared_.serving = false;
                return;
            }
            image = std::exchange(shared_.image, std::nullopt);
            raise = std::exchange(shared_.raise, false);
        }
        Handle(window, inputs);
        if (image && (raise || !window.Hidden()))
            window.Show(*image);
    }
}

// Closing the window or Esc in it only hides it; the turns go to the
// commands' thread.
void CanvasThread::Handle(CanvasWindow &window, const std::vector<WindowInput> &inputs)
{
    for (const WindowInput &input : inputs) {
        if (input.kind == WindowInput::Kind::Close || (input.kind == WindowInput::Kind::Key && input.key == '\x1b')) {
            window.Hide();
            continue;
        }
        if (input.kind != WindowInput::Kind::Drag && input.kind != WindowInput::Kind::Wheel)
            continue;
        std::lock_guard lock(mutex_);
        std::vector<WindowInput> &turns = shared_.turns;
        if (input.kind == WindowInput::Kind::Drag && !turns.empty() && turns.back().kind == WindowInput::Kind::Drag) {
            turns.back().dx += input.dx;
            turns.back().dy += input.dy;
        } else {
            turns.push_back(input);
        }
    }
}

} // namespace tesselin
