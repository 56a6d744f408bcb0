#include "app/view/script_runner.h"
#include "app/plugin_host/module.h"
#include "app/process/line_reader.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

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

namespace {

// How many lines a script file holds, read in blocks so that memory stays
// flat; 0 for what is not a regular file (a pipe or a device never ends).
int CountLines(const std::string &path)
{
    std::error_code status;
    if (!std::filesystem::is_regular_file(path, status))
        return 0;
    std::ifstream file(path, std::ios::binary);
    std::vector<char> block(64 * 1024);
    int lines = 0;
    bool open = false;
    while (file.read(block.data(), std::streamsize(block.size())) || file.gcount() > 0) {
        auto end = block.begin() + file.gcount();
        lines += int(std::count(block.begin(), end, '\n'));
        open = end[-1] != '\n';
    }
    return lines + open;
}

// The lines of a script, saying where the run is as each one starts.
class CountedLines final : public LineSource {
public:
    CountedLines(LineSource &lines, int count, const std::function<void(int, int)> &onLine)
        : lines_(lines), onLine_(onLine), count_(count)
    {
    }
    std::optional<std::string_view> Next() override
    {
        auto line = lines_.Next();
        tooLong_ = lines_.TooLong();
        if (line && onLine_) {
            number_++;
            onLine_(number_, std::max(count_, number_));
        }
        return line;
    }
    std::string Error() const override { return lines_.Error(); }

private:
    LineSource &lines_;
    const std::function<void(int, int)> &onLine_;
    int count_, number_ = 0;
};

} // namespace

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
    options.exportTitle = std::filesystem::path(script_).stem().string();
    std::string error;
    session_ = Session::Start(options, *sink_, error);
    if (!session_) {
        outcome.problem = error;
        outcome.startFault = true;
        sink_->Line("tesselin: " + error);
        return outcome;
    }
    CountedLines lines(*text, onLine_ ? CountLines(script_) : 0, onLine_);
    session_->RunScript(lines, script_);
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

std::size_t SceneRunner::RedrawsInPlace() const
{
    return session_ ? session_->Host().Times().redrawsInPlace : 0;
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

bool SceneRunner::Export(const std::string &path)
{
    return session_ && session_->ExportModel(path);
}

} // namespace tesselin
