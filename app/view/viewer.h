// Room view/ (floor 5): the live window: showing frames, watching the script
// file, rerunning it and tesselin view. May include session/ and the floors
// below.
//
// tesselin view: a script's picture in a desktop window that follows the
// script file as it is saved.
#ifndef TESSELIN_APP_VIEW_VIEWER_H
#define TESSELIN_APP_VIEW_VIEWER_H

#include "app/camera/camera.h"
#include "app/picture/stereo_pair.h"
#include "app/view/view_mode.h"

#include <optional>
#include <string>
#include <vector>

namespace tesselin {

struct ViewArguments {
    std::string script;
    std::string modulePath;
    // Save what the window shows to this file and quit, once the script has
    // run at start and then again after this many changes of its file.
    std::string screenshot;
    int reloads = 0;
    ViewMode mode = ViewMode::Window;
    // The camera at start (as tesselin run --orbit and --distance).
    Camera camera;
    // After the first picture, turn to this camera as dragging would (and
    // redraw as dragging does) before the screenshot.
    std::optional<Camera> turn;
    // tesselin run's --samples, --anaglyph and --swap-eyes: the canvas
    // window shows what tesselin run -o writes with them.
    int samples = 1;
    StereoLook look;
    bool help = false;
};

// Runs tesselin view; returns the exit status (2 without a display).
int RunView(const ViewArguments &arguments);

extern const char *const ViewUsage;

} // namespace tesselin

#endif
