#include "app/view/script_runner.h"
#include "app/process/line_reader.h"
#include "app/plugin_host/module.h"


namespace tesselin {

// Passes every message on and keeps the first error of a run.
class SceneRunner::Sink final : public MessageSink {
public:
    explicit Sink(MessageSink &next) : next_(next) {}
    void Line(const std::string &text) override
    {
        next_.Line(text);
        if (firstError.empty() && text.find("Error!") != std::string::npos)
            firstError = text;
    }
    std::string firstError;

private:
    MessageSink &next_;
};

SceneRunner::SceneRunner(std::string script, std::string modulePath, MessageSink &sink, int samples,
                         StereoLook look)
    : script_(std::move(script)), modulePath_(std::move(modulePath)), samples_(samples), look_(look),
      sink_(std::make_unique<Sink>(sink))
{
}

SceneRunner::~SceneRunner() = default;

SceneOutcome SceneRunner::Run(const Camera &camera)
{
    sink_->firstError.clear();
    lastRunGood_ = false;
    // Only one session can hold the host at a time: the old one goes first.
    session_.reset();
    SceneOutcome outcome;
    // Read line by line, as run reads it: memory stays within the longest
    // line a script may hold, whatever the file holds.
    std::string reason;
    auto text = LineReader::Open(script_, reason);
    if (!text) {
        outcome.problem = reason;
        sink_->Line("tesselin: " + outcome.problem);
        return outcome;
    }
    SessionOptions options;
    options.modulePath = modulePath_.empty() ? ModuleBesideProgram() : modulePath_;
    options.copyBeside = script_;
    options.camera = camera;
    options.samples = samples_;
    options.look = look_;
    std::string error;
    session_ = Session::Start(options, *sink_, error);
    if (!session_) {
        outcome.problem = error;
        outcome.startFault = true;
        sink_->Line("tesselin: " + error);
        return outcome;
    }
    session_->RunScript(*text, script_);
    if (session_->HadError()) {
        outcome.problem = sink_->firstError.empty() ? "the script failed" : sink_->firstError;
        return outcome;
    }
    return Collect(false);
}

SceneOutcome SceneRunner::Turn(const Camera &camera)
{
    if (session_ && lastRunGood_) {
        session_->SetCamera(camera);
        if (session_->RedrawLastFrame())
            return Collect(true);
    }
    return Run(camera);
}

SceneOutcome SceneRunner::Collect(bool redrawn)
{
    SceneOutcome outcome;
    outcome.redrawn = redrawn;
    RunPictures pictures;
    CanvasHost &host = session_->Host();
    pictures.window = session_->WindowPicture("the window");
    if (const Canvas *right = host.RightCanvas()) {
        pictures.right = right->Snapshot();
        pictures.left = host.LeftEye();
    }
    if (pictures.window.Empty()) {
        outcome.problem = "the script left no canvas to show";
        return outcome;
    }
    if (auto projection = host.SceneProjection())
        scriptDistance_ = projection->distance;
    lastRunGood_ = true;
    outcome.pictures = std::move(pictures);
    return outcome;
}

} // namespace tesselin
