// The command window's canvas window on a thread of its own, so that it
// repaints, moves, resizes and hides while a command runs. That thread owns
// the display (SDL, the window and its events); the commands' thread hands it
// finished pictures and takes back the turns (drags and wheel notches) to
// apply to its session between commands. The module and its OpenGL stay on
// the commands' thread.
#ifndef TESSELIN_APP_CONSOLE_CANVAS_THREAD_H
#define TESSELIN_APP_CONSOLE_CANVAS_THREAD_H

#include "app/view/window.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tesselin {

class CanvasThread {
public:
    // Starts the thread and opens the window on it; none, with the reason in
    // error, when the display cannot be reached.
    static std::unique_ptr<CanvasThread> Open(const std::string &title, std::string &error);
    // Closes the window and waits for its thread to end.
    ~CanvasThread();
    CanvasThread(const CanvasThread &) = delete;
    CanvasThread &operator=(const CanvasThread &) = delete;

    // Shows image soon; while the person has closed the window only when
    // raise asks to show it again. A newer picture replaces one not yet shown.
    void Show(const Image &image, bool raise);
    // The drags and wheel turns since the last call, in order; a drag right
    // after a drag is merged into it.
    std::vector<WindowInput> TakeTurns();

private:
    CanvasThread() = default;
    void Run(const std::string &title);
    void Serve(CanvasWindow &window);
    void Handle(CanvasWindow &window, const std::vector<WindowInput> &inputs);

    // What the two threads share, under mutex_.
    struct Shared {
        std::optional<Image> image;
        bool raise = false;
        bool quit = false;
        std::vector<WindowInput> turns;
        // Whether the window's thread waits for pictures: set once the
        // window opened, cleared before the display is let go.
        bool serving = false;
        // Whether the window's thread has said whether the window opened.
        bool answered = false;
        std::string error;
    };
    std::mutex mutex_;
    std::condition_variable answered_;
    Shared shared_;
    std::thread thread_;
};

} // namespace tesselin

#endif
