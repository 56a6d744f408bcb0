#include "app/view/viewer.h"
#include "app/view/window.h"
#include "app/view/file_watch.h"
#include "app/plugin_host/module.h"
#include "app/camera/orbit.h"
#include "app/files/png.h"
#include "app/view/run_child.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <cstring>

namespace tesselin {

const char *const ViewUsage = R"(Usage: tesselin view SCRIPT [options]

Shows what the script draws in a window and runs it again whenever its file
is saved. When a run fails, the last good picture stays and the message
shows in the window's title and on standard error.

The script runs in a process of its own beside the window, which keeps
answering while it runs: after a quarter of a second the title says
"running: line N of M". A save during a run stops it and runs the new
version; Esc stops it and the title says where. A plug-in that crashes
ends only that process: the last good picture stays and the title says
"the run ended with signal N at line L".

Keys:  w  the canvas window as the script left it (the anaglyph after an
          anaglyph command), or as --anaglyph and --swap-eyes compose it
       l  left eye    r  right eye    a  anaglyph (red/cyan unless the
          script made its own)    s  both eyes side by side
       p  save the shown picture as SCRIPT-view-N.png in the current folder
       e  export the 3D model of the last frame as SCRIPT.glb beside the
          script (world coordinates: the turned camera is not in it)
       0  back to the starting camera
       Esc  stop the run going on (quit when there is none)    q  quit
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

Exit status: 0, or 1 when the last run had an error, was stopped, crashed
or had not finished (or the screenshot could not be written), 2 for a
usage fault or without a display.
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

using Clock = std::chrono::steady_clock;

bool SameCamera(const Camera &a, const Camera &b)
{
    return a.azimuth == b.azimuth && a.elevation == b.elevation && a.distance == b.distance;
}

// "line 3 of 12", or "before the first line".
std::string PlaceText(const RunPlace &place)
{
    if (place.line < 1)
        return "before the first line";
    return "line " + std::to_string(place.line) + " of " + std::to_string(place.lines);
}

// How long a run goes on before the title shows where it is.
constexpr auto ProgressAfter = std::chrono::milliseconds(250);
// A save can come as several events; the run starts once they settled.
constexpr auto SaveSettles = std::chrono::milliseconds(40);

class Viewer {
public:
    Viewer(const ViewArguments &arguments, std::unique_ptr<CanvasWindow> window, std::unique_ptr<FileWatch> watch)
        : arguments_(arguments), window_(std::move(window)), watch_(std::move(watch)),
          child_({arguments.script, arguments.modulePath, arguments.samples, arguments.look}), mode_(arguments.mode),
          camera_(arguments.camera), shownCamera_(arguments.camera)
    {
        const char *trace = std::getenv("TESSELIN_VIEW_TRACE");
        trace_ = trace && *trace && std::string(trace) != "0";
    }
    int Loop();

private:
    // Starts the script afresh beside the window, ending any run before it.
    void StartRun();
    // One round of the window's life: what the person did, saves, what the
    // run sent, and the next redraw; never waits for the run.
    void Pump();
    void Handle(const WindowInput &input);
    void WatchFile();
    void TakeFromChild();
    void Take(const ChildOutcome &outcome);
    void Ended(const ChildEnd &end);
    void StopRun();
    // Asks for the scene from the latest camera once the last redraw is in.
    void NextTurn();
    void WaitWhileBusy();
    void ShowPicture();
    void UpdateTitle();
    void Key(char key);
    void SaveShown();
    void ExportModel();
    int TakeScreenshot();

    ViewArguments arguments_;
    std::unique_ptr<CanvasWindow> window_;
    std::unique_ptr<FileWatch> watch_;
    StderrSink sink_;
    RunChild child_;
    std::optional<RunPictures> pictures_;
    ViewMode mode_;
    Camera camera_;      // where the person wants to look from
    Camera shownCamera_; // what the last run or redraw was asked for
    double scriptDistance_ = 0;
    std::string problem_; // why the shown picture is not the script's latest
    std::string note_;    // a passing remark for the title
    std::string exportPath_; // the model file the child was last asked to write
    std::string title_;
    Clock::time_point runStarted_;
    std::optional<Clock::time_point> saved_; // the file changed then, the run not yet started
    int runsEnded_ = 0;                     // runs that finished, failed or crashed (not those stopped)
    bool lastRunFailed_ = false;
    bool startFault_ = false;
    bool trace_ = false;
    bool quit_ = false;
};

void Viewer::StartRun()
{
    std::string error;
    runStarted_ = Clock::now();
    saved_.reset();
    if (!child_.Run(camera_, error)) {
        problem_ = error;
        sink_.Line("tesselin: " + error);
        lastRunFailed_ = startFault_ = true;
        runsEnded_++;
    }
    shownCamera_ = camera_;
    if (!pictures_)
        ShowPicture();
}

void Viewer::Pump()
{
    for (const WindowInput &input : window_->Events(child_.Busy() || saved_ ? 10 : 30)) {
        Handle(input);
        if (quit_)
            return;
    }
    WatchFile();
    TakeFromChild();
    NextTurn();
    UpdateTitle();
}

void Viewer::Handle(const WindowInput &input)
{
    if (input.kind == WindowInput::Kind::Close)
        quit_ = true;
    else if (input.kind == WindowInput::Kind::Key)
        Key(input.key);
    else if (input.kind == WindowInput::Kind::Drag)
        camera_ = Dragged(camera_, input.dx, input.dy);
    else if (input.kind == WindowInput::Kind::Wheel)
        camera_ = Wheeled(camera_, input.steps, scriptDistance_);
}

void Viewer::WatchFile()
{
    if (watch_->Changed()) {
        // The run of the older version is of no use any more.
        if (child_.Running())
            child_.Stop();
        saved_ = Clock::now();
        return;
    }
    if (saved_ && Clock::now() - *saved_ >= SaveSettles)
        StartRun();
}

void Viewer::TakeFromChild()
{
    std::optional<ChildEnd> end;
    for (const ChildOutcome &outcome : child_.Collect(end))
        Take(outcome);
    if (end)
        Ended(*end);
}

void Viewer::Take(const ChildOutcome &child)
{
    if (child.exported) {
        note_ = child.exported == 1 ? "exported " + exportPath_ : "nothing exported (see the message)";
        if (child.exported == 1)
            sink_.Line("Exported " + exportPath_);
        UpdateTitle();
        return;
    }
    const SceneOutcome &outcome = child.outcome;
    if (child.fromRun) {
        runsEnded_++;
        startFault_ = outcome.startFault;
    }
    if (trace_)
        sink_.Line(std::string(outcome.redrawn ? "Redrawn" : "Ran the script") + " for the camera " +
                   CameraOptions(child.camera));
    note_.clear();
    problem_ = outcome.problem;
    lastRunFailed_ = !outcome.pictures;
    if (outcome.pictures) {
        pictures_ = outcome.pictures;
        scriptDistance_ = child.scriptDistance;
    }
    ShowPicture();
}

void Viewer::Ended(const ChildEnd &end)
{
    if (end.duringRun)
        runsEnded_++;
    lastRunFailed_ = true;
    std::string what = end.duringRun ? "the run" : "the redraw";
    if (end.signal)
        problem_ = what + " ended with signal " + std::to_string(end.signal) + " at " + PlaceText(end.place) + " (" +
                   strsignal(end.signal) + "); the picture is of the last good run";
    else
        problem_ = what + " ended with exit status " + std::to_string(end.exitStatus) + " at " + PlaceText(end.place);
    sink_.Line("tesselin: " + arguments_.script + ": " + problem_);
    ShowPicture();
}

void Viewer::StopRun()
{
    RunPlace place = child_.Place();
    child_.Stop();
    lastRunFailed_ = true;
    problem_ = "stopped at " + PlaceText(place) + " (Esc)";
    if (pictures_)
        problem_ += "; the picture is of an earlier run";
    sink_.Line("tesselin: " + arguments_.script + ": the run " + problem_);
    UpdateTitle();
}

void Viewer::NextTurn()
{
    if (SameCamera(camera_, shownCamera_) || child_.Busy() || saved_)
        return;
    // Without a run to turn (it was stopped or crashed) the camera waits for the next run.
    if (!pictures_ || !child_.Alive())
        return;
    if (child_.Turn(camera_))
        shownCamera_ = camera_;
}

void Viewer::WaitWhileBusy()
{
    while (!quit_ && (child_.Busy() || saved_))
        Pump();
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
    if (child_.Running() && Clock::now() - runStarted_ >= ProgressAfter)
        title = name + ": running: " + PlaceText(child_.Place());
    else if (!problem_.empty())
        title = name + ": " + problem_;
    else if (!note_.empty())
        title += ": " + note_;
    if (title != title_)
        window_->SetTitle(title);
    title_ = title;
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
        std::string options = CameraOptions(shownCamera_);
        sink_.Line("Saved " + path + (options.empty() ? "" : " (the camera: " + options + ")"));
    } else {
        note_ = error;
        sink_.Message(Severity::Warning, "the picture could not be saved: " + error);
    }
    UpdateTitle();
}

void Viewer::ExportModel()
{
    std::string path = std::filesystem::path(arguments_.script).replace_extension(".glb").string();
    if (child_.Export(path)) {
        exportPath_ = path;
        note_ = "exporting " + path;
    } else {
        note_ = child_.Alive() ? "busy: export again when the run has finished" : "no finished run to export";
    }
    UpdateTitle();
}

void Viewer::Key(char key)
{
    if (key == '\x1b' && child_.Running()) {
        StopRun();
    } else if (key == 'q' || key == '\x1b') {
        quit_ = true;
    } else if (key == 'p') {
        // What is saved is the latest camera's picture, not one on its way.
        WaitWhileBusy();
        SaveShown();
    } else if (key == 'e') {
        ExportModel();
    } else if (key == '0') {
        camera_ = arguments_.camera;
        note_.clear();
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
    StartRun();
    WaitWhileBusy();
    if (quit_)
        return 1; // the first run never finished
    if (startFault_)
        return 2;
    if (arguments_.turn && pictures_) {
        camera_ = *arguments_.turn;
        NextTurn();
        WaitWhileBusy();
    }
    bool screenshot = !arguments_.screenshot.empty();
    if (screenshot && arguments_.reloads == 0)
        return TakeScreenshot();
    sink_.Line("Watching " + arguments_.script + " for changes; q quits");
    while (!quit_) {
        Pump();
        if (screenshot && runsEnded_ > arguments_.reloads && !child_.Busy() && !saved_)
            return TakeScreenshot();
    }
    // A run still going is not the script's picture either.
    return lastRunFailed_ || child_.Running() ? 1 : 0;
}

} // namespace

int RunView(const ViewArguments &arguments)
{
    std::string error;
    if (!std::filesystem::exists(arguments.script)) {
        std::fprintf(stderr, "tesselin view: cannot read the script %s\n", arguments.script.c_str());
        return 2;
    }
    auto window = CanvasWindow::Open(std::filesystem::path(arguments.script).filename().string() + " - Tesselin", error);
    if (!window) {
        std::fprintf(stderr, "tesselin view: no window: %s\n", error.c_str());
        return 2;
    }
    auto watch = FileWatch::Start(arguments.script, error);
    if (!watch) {
        std::fprintf(stderr, "tesselin view: %s\n", error.c_str());
        return 2;
    }
    Viewer viewer(arguments, std::move(window), std::move(watch));
    return viewer.Loop();
}

} // namespace tesselin
