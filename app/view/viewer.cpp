#include "app/view/viewer.h"
#include "app/view/window.h"
#include "app/view/file_watch.h"
#include "app/session/output_options.h"
#include "app/plugin_host/module.h"
#include "app/camera/orbit.h"
#include "app/files/png.h"
#include "app/view/script_runner.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace tesselin {

const char *const ViewUsage = R"(Usage: tesselin view SCRIPT [options]

Shows what the script draws in a window and runs it again whenever its file
is saved. When a run fails, the last good picture stays and the message
shows in the window's title and on standard error.

Keys:  w  the canvas window as the script left it (the anaglyph after an
          anaglyph command), or as --anaglyph and --swap-eyes compose it
       l  left eye    r  right eye    a  anaglyph (red/cyan unless the
          script made its own)    s  both eyes side by side
       p  save the shown picture as SCRIPT-view-N.png in the current folder
       0  back to the starting camera
       q, Esc  quit
Mouse: drag to turn the scene about the origin; the wheel moves the camera
nearer and farther. The title shows the options that render the turned
view with tesselin run (--orbit AZ,EL --distance D).

Options:
  --mode MODE          start showing window, left, right, anaglyph or
                       side-by-side
  --orbit AZ,EL        start with the camera turned AZ degrees from +z
                       towards +x and raised EL degrees (as tesselin run)
  --distance D         start with the camera D from the origin
  --samples N          samples per pixel of 3D canvases (default 1), as
                       tesselin run
  --anaglyph METHOD    show the canvas window (w) composed from the two eyes
                       by METHOD, as tesselin run -o writes it: color,
                       half-color, gray, dubois, green-magenta, amber-blue,
                       or script (the default: the script's own anaglyph)
  --swap-eyes          exchange the eyes (glasses worn the other way round)
  --turn AZ,EL         with --screenshot: after the first picture, turn the
                       camera to AZ,EL as dragging does, then take it
  --screenshot FILE    save what the window shows as PNG once the script
                       has run, and quit
  --reloads N          with --screenshot: wait until the script has been
                       saved N times and run again first
  --module PATH        the plug-in module (default: tesselin.so next to
                       this program)

Exit status: 0, or 1 when the last run had an error (or the screenshot
could not be written), 2 for a usage fault or without a display.
)";

namespace {

// The first SCRIPTSTEM-view-N.png in the current folder that does not exist.
std::string FreeSaveName(const std::string &script)
{
    std::string stem = std::filesystem::path(script).stem().string();
    std::error_code status;
    for (int n = 1;; n++) {
        std::string name = stem + "-view-" + std::to_string(n) + ".png";
        if (!std::filesystem::exists(name, status))
            return name;
    }
}

class Viewer {
public:
    Viewer(const ViewArguments &arguments, std::unique_ptr<CanvasWindow> window, std::unique_ptr<FileWatch> watch)
        : arguments_(arguments), window_(std::move(window)), watch_(std::move(watch)),
          runner_(arguments.script, arguments.modulePath, sink_, arguments.samples, arguments.look), mode_(arguments.mode), camera_(arguments.camera)
    {
    }
    int Loop();

private:
    // Runs the script afresh; false when the host could not start.
    bool RunScript();
    // Shows the scene from camera: the last frame redrawn, or the script run again.
    void Orbit(const Camera &camera);
    // Shows what a run or redraw gave, or keeps the last picture and says why.
    void Take(const SceneOutcome &outcome);
    void ShowPicture();
    void UpdateTitle();
    void Key(char key);
    void SaveShown();
    int TakeScreenshot();

    ViewArguments arguments_;
    std::unique_ptr<CanvasWindow> window_;
    std::unique_ptr<FileWatch> watch_;
    StderrSink sink_;
    SceneRunner runner_;
    std::optional<RunPictures> pictures_;
    ViewMode mode_;
    Camera camera_;
    std::string problem_; // why the shown picture is not the script's latest
    std::string note_;    // a passing remark for the title
    bool lastRunFailed_ = false;
    bool quit_ = false;
};

bool Viewer::RunScript()
{
    SceneOutcome outcome = runner_.Run(camera_);
    Take(outcome);
    return !outcome.startFault;
}

void Viewer::Orbit(const Camera &camera)
{
    camera_ = camera;
    Take(runner_.Turn(camera_));
}

void Viewer::Take(const SceneOutcome &outcome)
{
    note_.clear();
    problem_ = outcome.problem;
    lastRunFailed_ = !outcome.pictures;
    if (outcome.pictures)
        pictures_ = outcome.pictures;
    ShowPicture();
}

void Viewer::ShowPicture()
{
    if (pictures_) {
        std::string why;
        auto picture = PictureFor(mode_, *pictures_, why);
        if (!picture) {
            // Back to what always exists.
            note_ = why;
            mode_ = ViewMode::Window;
            picture = PictureFor(mode_, *pictures_, why);
        }
        window_->Show(*picture);
    } else if (window_->Hidden()) {
        // No picture yet, but the window shows up so that its title can say why.
        window_->Show(Image(400, 300, 0x00C0C0C0u));
    }
    UpdateTitle();
}

void Viewer::UpdateTitle()
{
    std::string name = std::filesystem::path(arguments_.script).filename().string();
    std::string title = name + " - Tesselin (" + ModeName(mode_) + ")";
    if (std::string options = CameraOptions(camera_); !options.empty())
        title += " " + options;
    if (!problem_.empty())
        title = name + ": " + problem_;
    else if (!note_.empty())
        title += ": " + note_;
    window_->SetTitle(title);
}

void Viewer::SaveShown()
{
    Image shown = window_->Content();
    if (shown.Empty()) {
        sink_.Message(Severity::Warning, "there is no picture to save yet");
        return;
    }
    std::string path = FreeSaveName(arguments_.script), error;
    if (WritePng(path, shown, error)) {
        note_ = "saved " + path;
        std::string options = CameraOptions(camera_);
        sink_.Line("Saved " + path + (options.empty() ? "" : " (the camera: " + options + ")"));
    } else {
        note_ = error;
        sink_.Message(Severity::Warning, "the picture could not be saved: " + error);
    }
    UpdateTitle();
}

void Viewer::Key(char key)
{
    if (key == 'q' || key == '\x1b') {
        quit_ = true;
    } else if (key == 'p') {
        SaveShown();
    } else if (key == '0') {
        Orbit(arguments_.camera);
    } else if (auto mode = ModeForKey(key)) {
        mode_ = *mode;
        note_.clear();
        ShowPicture();
    }
}

int Viewer::TakeScreenshot()
{
    Image shown = window_->Content();
    std::string error;
    if (!pictures_ || shown.Empty()) {
        sink_.Line("tesselin: no screenshot: the script never made a picture");
        return 1;
    }
    if (!WritePng(arguments_.screenshot, shown, error)) {
        sink_.Line("tesselin: " + error);
        return 1;
    }
    return lastRunFailed_ ? 1 : 0;
}

int Viewer::Loop()
{
    if (!RunScript())
        return 2;
    if (arguments_.turn && pictures_)
        Orbit(*arguments_.turn);
    if (!arguments_.screenshot.empty() && arguments_.reloads == 0)
        return TakeScreenshot();
    int reloads = 0;
    sink_.Line("Watching " + arguments_.script + " for changes; q quits");
    while (!quit_) {
        Camera turned = camera_;
        for (const WindowInput &input : window_->Events(30)) {
            if (input.kind == WindowInput::Kind::Close)
                quit_ = true;
            else if (input.kind == WindowInput::Kind::Key)
                Key(input.key);
            else if (input.kind == WindowInput::Kind::Drag)
                turned = Dragged(turned, input.dx, input.dy);
            else if (input.kind == WindowInput::Kind::Wheel)
                turned = Wheeled(turned, input.steps, runner_.ScriptDistance());
        }
        // Every move since the last picture makes one new picture.
        if (!quit_ && (turned.azimuth != camera_.azimuth || turned.elevation != camera_.elevation ||
                       turned.distance != camera_.distance))
            Orbit(turned);
        if (quit_ || !watch_->Changed())
            continue;
        // A save can come as several events; let it settle and take them all.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        watch_->Changed();
        RunScript();
        reloads++;
        if (!arguments_.screenshot.empty() && reloads >= arguments_.reloads)
            return TakeScreenshot();
    }
    return lastRunFailed_ ? 1 : 0;
}

} // namespace

std::optional<ViewArguments> ParseViewArguments(const std::vector<std::string> &argv, std::string &error)
{
    ViewArguments arguments;
    for (std::size_t i = 0; i < argv.size(); i++) {
        std::string option = argv[i], value;
        bool inlineValue = false;
        if (auto equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
            inlineValue = true;
        }
        auto takeValue = [&]() {
            if (!inlineValue && i + 1 < argv.size())
                value = argv[++i];
            if (value.empty())
                error = option + " needs a value";
            return !value.empty();
        };
        if (option == "-h" || option == "--help") {
            arguments.help = true;
        } else if (option == "--module") {
            if (!takeValue())
                return std::nullopt;
            arguments.modulePath = value;
        } else if (option == "--screenshot") {
            if (!takeValue())
                return std::nullopt;
            arguments.screenshot = value;
        } else if (option == "--reloads") {
            if (!takeValue())
                return std::nullopt;
            std::size_t used = 0;
            int count = -1;
            try {
                count = std::stoi(value, &used);
            } catch (const std::exception &) {
            }
            if (count < 0 || used != value.size()) {
                error = "--reloads needs a count of 0 or more, not " + value;
                return std::nullopt;
            }
            arguments.reloads = count;
        } else if (option == "--samples") {
            if (!takeValue())
                return std::nullopt;
            auto samples = SamplesValue(value, error);
            if (!samples)
                return std::nullopt;
            arguments.samples = *samples;
        } else if (option == "--anaglyph") {
            if (!takeValue())
                return std::nullopt;
            auto method = AnaglyphValue(value, error);
            if (!method)
                return std::nullopt;
            arguments.look.anaglyph = *method;
        } else if (option == "--swap-eyes" && !inlineValue) {
            arguments.look.swapEyes = true;
        } else if (option == "--mode") {
            if (!takeValue())
                return std::nullopt;
            auto mode = ModeNamed(value);
            if (!mode) {
                error = "--mode is window, left, right, anaglyph or side-by-side, not " + value;
                return std::nullopt;
            }
            arguments.mode = *mode;
        } else if (option == "--orbit" || option == "--turn") {
            if (!takeValue())
                return std::nullopt;
            auto orbit = ParseOrbit(value, error);
            if (!orbit)
                return std::nullopt;
            if (option == "--turn") {
                arguments.turn = arguments.camera;
                arguments.turn->azimuth = orbit->azimuth;
                arguments.turn->elevation = orbit->elevation;
            } else {
                arguments.camera.azimuth = orbit->azimuth;
                arguments.camera.elevation = orbit->elevation;
            }
        } else if (option == "--distance") {
            if (!takeValue())
                return std::nullopt;
            if (!(arguments.camera.distance = ParseDistance(value, error)))
                return std::nullopt;
        } else if (arguments.script.empty() && !option.empty() && option[0] != '-') {
            arguments.script = option;
        } else {
            error = "unknown option " + option;
            return std::nullopt;
        }
    }
    if (arguments.script.empty() && !arguments.help) {
        error = "view needs a script";
        return std::nullopt;
    }
    if ((arguments.reloads > 0 || arguments.turn) && arguments.screenshot.empty()) {
        error = std::string(arguments.turn ? "--turn" : "--reloads") + " only goes with --screenshot";
        return std::nullopt;
    }
    if (arguments.turn)
        arguments.turn->distance = arguments.camera.distance;
    return arguments;
}

int RunView(const std::vector<std::string> &argv)
{
    std::string error;
    auto arguments = ParseViewArguments(argv, error);
    if (!arguments) {
        std::fprintf(stderr, "tesselin view: %s\nTry tesselin view --help\n", error.c_str());
        return 2;
    }
    if (arguments->help) {
        std::fputs(ViewUsage, stdout);
        return 0;
    }
    if (!std::filesystem::exists(arguments->script)) {
        std::fprintf(stderr, "tesselin view: cannot read the script %s\n", arguments->script.c_str());
        return 2;
    }
    auto window = CanvasWindow::Open(std::filesystem::path(arguments->script).filename().string() + " - Tesselin", error);
    if (!window) {
        std::fprintf(stderr, "tesselin view: no window: %s\n", error.c_str());
        return 2;
    }
    auto watch = FileWatch::Start(arguments->script, error);
    if (!watch) {
        std::fprintf(stderr, "tesselin view: %s\n", error.c_str());
        return 2;
    }
    Viewer viewer(*arguments, std::move(window), std::move(watch));
    return viewer.Loop();
}

} // namespace tesselin
