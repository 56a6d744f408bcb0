#include "app/session/session.h"
#include "app/files/clipboard.h"
#include "app/script/hints.h"
#include "app/files/mpo.h"
#include "app/process/interrupt.h"
#include "app/process/line_reader.h"
#include "app/files/png.h"
#include "app/script/script.h"
#include "app/process/stopwatch.h"

#include <cctype>
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

// Writes the image that image() makes; an allocation failure on the way is
// a failed write like any other.
bool WriteImage(const std::string &path, const std::function<Image()> &image, std::string &error)
{
    try {
        return WritePng(path, image(), error);
    } catch (const std::bad_alloc &) {
        error = "cannot write " + path + ": out of memory";
        return false;
    }
}

} // namespace

void StderrSink::Line(const std::string &text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

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
        sink.Line("Warning: OpenGL here offers at most " + std::to_string(samples) +
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
            sink.Line("Warning: GIF frames last whole hundredths of a second, and many viewers slow down "
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

Image Session::WindowPicture(const std::string &shownIn)
{
    const Canvas *window = host_->WindowCanvas();
    if (!window)
        return {};
    if (!ComposesWindow())
        return window->Snapshot();
    const Canvas *right = host_->RightCanvas();
    auto left = host_->LeftEye();
    if (right && left && right != window)
        return StereoPicture(*left, right->Snapshot(), options_.look, false, scriptAnaglyph_);
    Say("Warning: the anaglyph options need a stereo pair; " + shownIn + " shows the canvas window as it is");
    return window->Snapshot();
}

bool Session::WriteWindow(const std::string &path)
{
    where_.clear();
    const Canvas *window = host_->WindowCanvas();
    std::string error;
    if (!window) {
        Fail("cannot write " + path + ": there is no canvas");
        return false;
    }
    // The picture is made inside the write, so that running out of memory
    // for it is a failed write like any other.
    auto picture = [&] { return WindowPicture(path); };
    Stopwatch watch(times_.png);
    if (!WriteImage(path, picture, error)) {
        Fail(error);
        return false;
    }
    return true;
}

bool Session::WriteRight(const std::string &path)
{
    where_.clear();
    const Canvas *right = host_->RightCanvas();
    std::string error;
    if (!right) {
        Fail("cannot write " + path + ": there is no right canvas (the script made no stereo pair)");
        return false;
    }
    Stopwatch watch(times_.png);
    if (!WriteImage(path, [right] { return right->Snapshot(); }, error)) {
        Fail(error);
        return false;
    }
    return true;
}

// The left eye of the stereo pair an image at path is made of, and the right
// canvas in right; none, with the failure reported, when there is no pair.
std::optional<Image> Session::StereoPairFor(const std::string &path, const Canvas *&right)
{
    where_.clear();
    right = host_->RightCanvas();
    std::optional<Image> left;
    try {
        left = host_->LeftEye();
    } catch (const std::bad_alloc &) {
        Fail("cannot write " + path + ": out of memory");
        return std::nullopt;
    }
    if (!right || !left) {
        Fail("cannot write " + path + ": there is no stereo pair (the script made no right canvas)");
        return std::nullopt;
    }
    return left;
}

bool Session::WriteSideBySide(const std::string &path)
{
    const Canvas *right = nullptr;
    auto left = StereoPairFor(path, right);
    if (!left)
        return false;
    std::string error;
    Stopwatch watch(times_.png);
    bool swap = options_.look.swapEyes;
    if (!WriteImage(path, [&] { return swap ? SideBySide(right->Snapshot(), *left) : SideBySide(*left, right->Snapshot()); },
                    error)) {
        Fail(error);
        return false;
    }
    return true;
}

bool Session::WritePair(const std::string &path)
{
    const Canvas *right = nullptr;
    auto left = StereoPairFor(path, right);
    if (!left)
        return false;
    std::string error;
    Stopwatch watch(times_.png);
    std::string extension = std::filesystem::path(path).extension().string();
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    bool ok;
    try {
        Image first = *left, second = right->Snapshot();
        if (options_.look.swapEyes)
            std::swap(first, second);
        StereoLayout layout = options_.look.layout.value_or(StereoLayout::Parallel);
        ok = extension == ".mpo" ? WriteMpo(path, first, second, error)
                                 : WritePng(path, ArrangePair(first, second, layout), error);
    } catch (const std::bad_alloc &) {
        error = "cannot write " + path + ": out of memory";
        ok = false;
    }
    if (!ok) {
        Fail(error);
        return false;
    }
    return true;
}

bool Session::WriteOutputs(const Outputs &outputs)
{
    bool ok = true;
    if (!outputs.window.empty())
        ok = WriteWindow(outputs.window) && ok;
    if (!outputs.right.empty())
        ok = WriteRight(outputs.right) && ok;
    if (!outputs.sideBySide.empty())
        ok = WriteSideBySide(outputs.sideBySide) && ok;
    if (!outputs.pair.empty())
        ok = WritePair(outputs.pair) && ok;
    return FinishAnimation() && ok;
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
                Report(Severity::Note, "Copied the canvas window to the clipboard (" + tool + ")");
                return;
            }
        }
    }
    std::string path = FreeCopyName(options_.copyBeside);
    // An allocation failure here reaches the host's guard on the entry.
    if (WritePng(path, image, error))
        Report(Severity::Note, "Copied the canvas window to " + path + " (no clipboard here)");
    else
        Report(Severity::Warning, "the canvas window could not be copied: " + error);
}

void Session::AnaglyphMade(COLORREF left, COLORREF right)
{
    scriptAnaglyph_ = ScriptColours{left, right};
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
        Say("Warning: animation frame " + std::to_string(animation_->Frames() + 1) + " is " +
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

} // namespace tesselin
