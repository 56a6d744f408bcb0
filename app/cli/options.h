// The program's command line: which command it is (run, check, view or the
// command window) and the options each takes, all read from one table, so
// that an option shared by run and view is read the same way by both and a
// mistyped one is answered with the option that was meant.
#ifndef TESSELIN_APP_CLI_OPTIONS_H
#define TESSELIN_APP_CLI_OPTIONS_H

#include "app/camera/camera.h"
#include "app/picture/stereo_pair.h"
#include "app/session/session.h"
#include "app/view/viewer.h"

#include <optional>
#include <string>
#include <vector>

namespace tesselin {

// The command window is tesselin without a command word.
enum class Command { Window, Run, Check, View, Lsp };

// Samples per pixel of 3D canvases unless --samples says otherwise, and the
// most --samples accepts.
constexpr int DefaultSamples = 1;
constexpr int MaxSamples = 64;

struct Arguments {
    Command command = Command::Window;
    bool help = false;
    std::string script;
    std::string modulePath;
    int samples = DefaultSamples;
    StereoLook look;
    Camera camera;
    // run
    Outputs outputs;
    std::string framesPrefix;
    std::string animation;
    double fps = DefaultFps;
    std::string exportPath, exportFramesPrefix;
    bool timing = false;
    // the command window and check
    bool noWindow = false;
    // view
    std::string screenshot;
    int reloads = 0;
    ViewMode mode = ViewMode::Window;
    std::optional<Camera> turn;
};

// The command the program's arguments (after its name) start with.
Command CommandOf(const std::vector<std::string> &argv);

// Reads the words after "tesselin COMMAND" (all words for the command
// window) as that command takes them; none, with the message in error, for
// a usage fault.
std::optional<Arguments> ParseArguments(Command command, const std::vector<std::string> &argv, std::string &error);

// The long names of the options command takes, in the order of the help.
std::vector<std::string> OptionsOf(Command command);

// The arguments after "view", as tesselin view runs with them.
std::optional<ViewArguments> ParseViewArguments(const std::vector<std::string> &argv, std::string &error);
ViewArguments ViewPart(const Arguments &arguments);

} // namespace tesselin

#endif
