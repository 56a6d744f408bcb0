#include "app/session/session.h"
#include "app/export/export.h"
#include "app/files/clipboard.h"
#include "app/script/hints.h"
#include "app/process/interrupt.h"
#include "app/process/line_reader.h"
#include "app/files/png.h"
#include "app/script/tokenizer.h"
#include "app/process/stopwatch.h"
#include "app/files/image_file.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <vector>

namespace tesselin {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string Numbered(const std::string &prefix, int number, const char *suffix)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "-%04d", number);
    return prefix + digits + suffix;
}

// The first name stem-copy-N.png beside near that does not exist yet.
std::string FreeCopyName(const std::string &near)
{
    std::filesystem::path base = near.empty() ? std::filesystem::path("tesselin.png") : std::filesystem::path(near);
    std::filesystem::path directory = base.parent_path();
    std::string stem = base.stem().string();
    std::error_code status;
    for (int n = 1;; n++) {
        auto candidate = directory / (stem + "-copy-" + std::to_string(n) + ".png");
        if (!std::filesystem::exists(candidate, status))
            return candidate.string();
    }
}

// A picture line the plug-in answers silently draws nothing when its file is
// not where the plug-in looks; what tesselin check would say about it.
std::vector<Finding> PictureFileWarnings(const std::vector<Token> &tokens)
{
    if (tokens.empty() || tokens[0].text != "picture")
        return {};
    std::error_code status;
    return ExamineFiles(tokens, std::filesystem::current_path(status));
}

} // namespace

std::unique_ptr<Session> Session::Start(const SessionOptions &options, MessageSink &sink, std::string &error)
{
    std::unique_ptr<Session> session(new Session(options, sink));
    std::string reason;
    {
        Stopwatch watch(session->times_.openGl);
        session->device_ = GlDevice::Open(reason);
    }
    if (!session->device_) {
        error = "no OpenGL: " + reason;
        return nullptr;
    }
    if (int samples = session->device_->SetSamples(options.samples); samples < options.samples)
        sink.Message(Severity::Warning, "OpenGL here offers at most " + std::to_string(samples) +
                  " samples per pixel; 3D canvases use " + std::to_string(samples));
    if (!options.animation.empty()) {
        session->animation_ = AnimationWriter::Open(options.animation, options.fps, error);
        if (!session->animation_)
            return nullptr;
        if (auto format = AnimationFormatOf(options.animation); HeldFps(*format, options.fps) > options.fps) {
            char words[160];
            std::snprintf(words, sizeof words, "Warning: --fps %g asks for frames of %g s, but %s; frames that long are written",
                          options.fps, 1 / options.fps, LongestFrame(*format).c_str());
            sink.Line(words);
        }
        if (AnimationFormatOf(options.animation) == AnimationFormat::Gif && options.fps > 50)
            sink.Message(Severity::Warning, "GIF frames last whole hundredths of a second, and many viewers slow down "
                      "frames shorter than 2; above 50 frames per second use .webp or .mp4");
    }
    Stopwatch watch(session->times_.module);
    session->module_ = Module::Load(options.modulePath, error);
    if (!session->module_)
        return nullptr;
    HostEvents &events = *session;
    session->host_ = std::make_unique<CanvasHost>(*session->device_, events);
    session->host_->SetCamera(options.camera);
    session->host_->SetStreamLimits(options.streamLimits);
    const char *name = nullptr;
    session->module_->load(&name, session->host_->Table());
    session->loaded_ = true;
    session->displayName_ = name ? name : "";
    session->host_->AfterCommand();
    return session;
}

Session::~Session()
{
    if (loaded_) {
        where_.clear();
        module_->unload();
    }
    // The module goes before the host whose table it held, and OpenGL last.
    module_.reset();
    host_.reset();
    device_.reset();
}

void Session::Say(const std::string &text)
{
    sink_.Line(where_.empty() ? text : where_ + ": " + text);
}

void Session::Report(Severity severity, const std::string &text)
{
    if (severity == Severity::Error)
        hadError_ = true;
    Say(MessageLine(severity, text));
}

void Session::RunLine(std::string_view line, const std::string &where)
{
    where_ = where;
    try {
        auto tokens = TokenizeLine(line);
        if (!tokens)
            return;
        std::vector<char *> pointers;
        pointers.reserve(tokens->size() + 1);
        for (Token &token : *tokens)
            pointers.push_back(token.text.data());
        pointers.push_back(nullptr);
        Stopwatch watch(times_.commands);
        const char *result;
        {
            CommandRunning running;
            result = module_->command(static_cast<int>(tokens->size()), pointers.data());
        }
        if (result && *result) {
            if (StartsWith(result, "Error!"))
                hadError_ = true;
            Say(result);
        }
        // The host's own help after the plug-in's answer, on a line of its own.
        if (auto help = HelpAfterAnswer(*tokens, result ? result : ""))
            sink_.Line(FormatFinding(where_, *help));
        if (!result || !*result)
            for (const Finding &finding : PictureFileWarnings(*tokens))
                sink_.Line(FormatFinding(where_, finding));
        host_->AfterCommand();
    } catch (const std::bad_alloc &) {
        // What the line needed has been given back by now.
        Fail("the host ran out of memory for this line; the run stops");
        host_->RequestStop();
    }
    if (host_->TakeOutOfMemory()) {
        Fail("the host ran out of memory during this command; the run stops");
        host_->RequestStop();
    }
}

void Session::RunScript(LineSource &lines, const std::string &name)
{
    int number = 0;
    for (;;) {
        std::optional<std::string_view> line;
        try {
            line = lines.Next();
        } catch (const std::bad_alloc &) {
            InputFailed(name + ":" + std::to_string(number + 1), "the line is too long to hold in memory");
            return;
        }
        if (!line)
            break;
        number++;
        if (lines.TooLong())
            RefuseLongLine(name + ":" + std::to_string(number));
        else
            RunLine(*line, name + ":" + std::to_string(number));
        if (Stopped() || InterruptPending())
            return;
    }
    if (std::string error = lines.Error(); !error.empty()) {
        InputFailed(name + ":" + std::to_string(number + 1), error);
        return;
    }
    if (!InterruptPending())
        EndOfInput(name);
}

void Session::RunScript(std::string_view text, const std::string &name)
{
    TextLines lines(text);
    RunScript(lines, name);
}

void Session::RefuseLongLine(const std::string &where)
{
    where_ = where;
    Fail(LineTooLongMessage());
}

void Session::InputFailed(const std::string &where, const std::string &reason)
{
    where_ = where;
    Fail("cannot read further: " + reason + "; the run stops");
    host_->RequestStop();
}

bool Session::RedrawLastFrame()
{
    where_.clear();
    return host_->RedrawLastFrame();
}

void Session::EndOfInput(const std::string &where)
{
    where_ = where;
    if (host_->FrameUnfinished())
        Report(Severity::Hint, "a 3D frame was drawn but never finished, so the canvas does not show it; "
            "end the drawing with a finish line");
}


void Session::FrameFinished(const Canvas &left, const Canvas *right)
{
    scriptAnaglyph_.reset();
    if (animation_) {
        if (!FlushFrame())
            return;
        pendingStereo_ = right != nullptr;
        pendingFrame_ = right ? StereoPicture(left.Snapshot(), right->Snapshot(), options_.look, true, scriptAnaglyph_)
                              : left.Snapshot();
    }
    if (options_.onFrame) {
        Image rightImage = right ? right->Snapshot() : Image();
        options_.onFrame(left.Snapshot(), right ? &rightImage : nullptr);
    }
    if (!options_.exportFramesPrefix.empty())
        ExportFrame(host_->FramesFinished());
    if (options_.framesPrefix.empty())
        return;
    int number = host_->FramesFinished();
    std::string error;
    Stopwatch watch(times_.png);
    std::string path = Numbered(options_.framesPrefix, number, ".png");
    bool ok = WriteImage(path, [&left] { return left.Snapshot(); }, error);
    if (ok && right)
        ok = WriteImage(Numbered(options_.framesPrefix, number, "-right.png"), [right] { return right->Snapshot(); },
                        error);
    if (!ok) {
        Fail("frame " + std::to_string(number) + ": " + error + "; the run stops");
        host_->RequestStop();
    }
}

void Session::CanvasWindowChanged(bool raise)
{
    if (!options_.onCanvasWindow)
        return;
    if (const Canvas *window = host_->WindowCanvas())
        options_.onCanvasWindow(window->Snapshot(), raise);
}

void Session::CopyRequested(const Image &image)
{
    std::string error;
    if (options_.useClipboard) {
        if (auto png = EncodePng(image, error)) {
            std::string tool = CopyPngToClipboard(*png);
            if (!tool.empty()) {
                Report(Severity::Report, "Copied the canvas window to the clipboard (" + tool + ")");
                return;
            }
        }
    }
    std::string path = FreeCopyName(options_.copyBeside);
    // An allocation failure here reaches the host's guard on the entry.
    if (WritePng(path, image, error))
        Report(Severity::Report, "Copied the canvas window to " + path + " (no clipboard here)");
    else
        Report(Severity::Warning, "the canvas window could not be copied: " + error);
}

void Session::AnaglyphMade(const ScriptColours &colours)
{
    scriptAnaglyph_ = colours;
    // A stereo frame shown as the script's anaglyph goes into the animation so.
    if (pendingFrame_ && pendingStereo_ && !options_.look.layout && options_.look.anaglyph == AnaglyphMethod::Script) {
        const Canvas *rightCanvas = host_->RightCanvas();
        auto leftEye = host_->LeftEye();
        if (rightCanvas && leftEye)
            pendingFrame_ = StereoPicture(*leftEye, rightCanvas->Snapshot(), options_.look, true, scriptAnaglyph_);
    }
}

bool Session::ComposesWindow() const
{
    return options_.look.anaglyph != AnaglyphMethod::Script || (options_.look.swapEyes && scriptAnaglyph_);
}

bool Session::FlushFrame()
{
    if (!animation_ || !pendingFrame_)
        return true;
    std::string error;
    Stopwatch watch(times_.png);
    const Image &frame = *pendingFrame_;
    if (animation_->Frames() > 0 && (frame.width != animation_->Width() || frame.height != animation_->Height()) &&
        !warnedFrameSize_) {
        warnedFrameSize_ = true;
        Report(Severity::Warning, "animation frame " + std::to_string(animation_->Frames() + 1) + " is " +
            std::to_string(frame.width) + " x " + std::to_string(frame.height) + ", the animation " +
            std::to_string(animation_->Width()) + " x " + std::to_string(animation_->Height()) +
            "; such frames are cut or padded with white");
    }
    bool ok = animation_->Add(frame, error);
    pendingFrame_.reset();
    if (!ok) {
        Fail("animation frame " + std::to_string(animation_->Frames() + 1) + ": " + error + "; the run stops");
        animation_.reset();
        host_->RequestStop();
    }
    return ok;
}

bool Session::FinishAnimation()
{
    if (!animation_)
        return true;
    where_.clear();
    bool ok = FlushFrame();
    std::string error;
    if (ok && animation_) {
        Stopwatch watch(times_.png);
        ok = animation_->Finish(error);
        if (!ok)
            Fail(error);
    }
    animation_.reset();
    return ok;
}

} // namespace tesselin

namespace tesselin {

std::string Session::TimingReport() const
{
    const HostTimes &host = host_->Times();
    auto ms = [](double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", seconds * 1000);
        return std::string(text);
    };
    return "Timing: start-up " + ms(times_.openGl + times_.module) + " ms (OpenGL " + ms(times_.openGl) +
           ", module and welcome canvas " + ms(times_.module) + "), commands " + ms(times_.commands) +
           " ms (of which contexts " + ms(host.contexts) + ", right-eye replay " + ms(host.replay) +
           ", drawing finished and read back " + ms(host.readBack) + "), PNG " + ms(times_.png) + " ms" +
           (host.largestStream ? "; largest right-eye frame recorded " +
                                     std::to_string((host.largestStream + 1023) / 1024) + " KB, at most " +
                                     std::to_string((host.heldStream + 1023) / 1024) + " KB held at once"
                               : "");
}

std::string Session::ExportProblem() const
{
    switch (host_->LastFrameRecord()) {
    case CanvasHost::LastFrame::NoCanvas:
        return "there is no canvas, so there is no 3D model to export";
    case CanvasHost::LastFrame::Flat:
        return "the canvas is flat (not set up for 3D), so there is no 3D model to export";
    case CanvasHost::LastFrame::NoFrame:
        return "no 3D frame was finished yet (finish ends one), so there is no 3D model to export";
    case CanvasHost::LastFrame::NotKept:
        return "the OpenGL calls of the last frame were not kept (more than " +
               std::to_string(options_.streamLimits.keepBytes >> 20) + " MB, or none kept), so it cannot be exported";
    case CanvasHost::LastFrame::Kept:
        break;
    }
    return {};
}

bool Session::ExportModel(const std::string &path)
{
    if (std::string problem = ExportFormatProblem(path); !problem.empty()) {
        Fail(problem + "; nothing was written");
        return false;
    }
    if (std::string problem = ExportProblem(); !problem.empty()) {
        Fail(problem + "; " + path + " was not written");
        return false;
    }
    try {
        FixedFunction reader;
        std::size_t end = 0;
        bool read = reader.Read([this, &end](const FrameStream::Calls &calls, const FrameStream::ViewSeen &onView) {
            return host_->WalkLastFrame(calls, onView, 0, end);
        });
        const Model &model = reader.Current();
        if (!read || model.Empty()) {
            Fail("the last frame has nothing drawn in 3D; " + path + " was not written");
            return false;
        }
        std::string title = options_.exportTitle.empty() ? "model" : options_.exportTitle;
        return WriteModel(model, path, title, [this](Severity severity, const std::string &text) { Report(severity, text); });
    } catch (const std::bad_alloc &) {
        Fail("cannot write " + path + ": out of memory");
        return false;
    }
}

void Session::ExportFrame(int number)
{
    std::string path = Numbered(options_.exportFramesPrefix, number, ".glb");
    bool ok = false;
    if (std::string problem = ExportProblem(); !problem.empty()) {
        Fail("frame " + std::to_string(number) + ": " + problem + "; the run stops");
    } else {
        try {
            if (!frameModel_)
                frameModel_ = std::make_unique<FixedFunction>();
            // Each frame carries on from where the last one ended.
            ok = frameModel_->Read([this](const FrameStream::Calls &calls, const FrameStream::ViewSeen &onView) {
                return host_->WalkLastFrame(calls, onView, frameModelWords_, frameModelWords_);
            });
            if (!ok)
                Fail("frame " + std::to_string(number) + ": its OpenGL calls cannot be read back; the run stops");
            std::string title = options_.exportTitle.empty() ? "model" : options_.exportTitle;
            title += " frame " + std::to_string(number);
            ok = ok && WriteModel(frameModel_->Current(), path, title,
                                  [this](Severity severity, const std::string &text) { Report(severity, text); });
        } catch (const std::bad_alloc &) {
            Fail("cannot write " + path + ": out of memory; the run stops");
        }
    }
    if (!ok)
        host_->RequestStop();
}

} // namespace tesselin
