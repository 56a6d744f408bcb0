// The live window's source of pictures: runs a script in a fresh session (as
// tesselin run does, so both give the same pixels) and shows it again from
// another camera, redrawing the last frame where the host kept it.
#ifndef TESSELIN_APP_VIEW_SCRIPT_RUNNER_H
#define TESSELIN_APP_VIEW_SCRIPT_RUNNER_H

#include "app/camera/camera.h"
#include "app/session/session.h"
#include "app/view/view_mode.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tesselin {

// What one run or redraw gave.
struct SceneOutcome {
    std::optional<RunPictures> pictures; // none when the run failed
    std::string problem;                 // why there are none: the first error
    bool startFault = false;             // the host could not start (no OpenGL, no module)
    bool redrawn = false;                // from the kept frame, without running the script
};

class SceneRunner {
public:
    // Messages go to sink; script is read anew for every run. samples and
    // look are tesselin run's --samples, --anaglyph and --swap-eyes: the
    // window picture is the one tesselin run -o writes with them.
    SceneRunner(std::string script, std::string modulePath, MessageSink &sink, int samples = 1,
                StereoLook look = {});
    ~SceneRunner();
    SceneRunner(const SceneRunner &) = delete;
    SceneRunner &operator=(const SceneRunner &) = delete;

    // Runs the script from the start with camera.
    SceneOutcome Run(const Camera &camera);
    // The last good run's scene from camera: its last frame redrawn when the
    // host kept it, else the script run again.
    SceneOutcome Turn(const Camera &camera);
    // Writes the 3D model of the last frame (Session::ExportModel); false,
    // with the reason said, when there is none.
    bool Export(const std::string &path);
    // How many redraws of this session drew into the contexts that drew the
    // frame, put back as they were born, rather than into new ones.
    std::size_t RedrawsInPlace() const;
    // Where the last good run put its camera; 0 before a 3D view.
    double ScriptDistance() const { return scriptDistance_; }
    // Called as each line of a run starts: its number (from 1) and how many
    // lines the script has.
    void OnLine(std::function<void(int line, int lines)> onLine) { onLine_ = std::move(onLine); }

private:
    class Sink;
    SceneOutcome Collect(bool redrawn);

    std::string script_, modulePath_;
    int samples_;
    StereoLook look_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<Session> session_;
    bool lastRunGood_ = false;
    double scriptDistance_ = 0;
    std::function<void(int, int)> onLine_;
};

} // namespace tesselin

#endif
