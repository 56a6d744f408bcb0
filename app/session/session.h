// Room session/ (floor 4): one run of the plug-in from load to unload and
// what it writes, with the output options that shape those files. May
// include plugin_host/ and the floors below.
//
// A run of the plug-in: OpenGL, the module, the host, and the command window
// feeding it lines. Scripts, the interactive window and the tests all drive
// the plug-in through a Session.
#ifndef TESSELIN_APP_SESSION_SESSION_H
#define TESSELIN_APP_SESSION_SESSION_H

#include "app/export/fixed_function.h"
#include "app/files/animation.h"
#include "app/camera/camera.h"
#include "app/plugin_host/canvas_host.h"
#include "app/gl/device.h"
#include "app/picture/image.h"
#include "app/plugin_host/module.h"
#include "app/picture/stereo_pair.h"
#include "app/session/outputs.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tesselin {

struct SessionOptions {
    std::string modulePath;
    // Every finished frame goes to PREFIX-0001.png (and PREFIX-0001-right.png
    // for the right eye); empty for none.
    std::string framesPrefix;
    // Copies of the canvas window go beside this file when no clipboard
    // takes them (into the current directory when empty).
    std::string copyBeside;
    bool useClipboard = true;
    // Called with every finished frame (the right eye too for a stereo pair).
    std::function<void(const Image &left, const Image *right)> onFrame;
    // Samples per pixel of 3D canvases (1: no multisampling).
    int samples = 1;
    // How the canvas window's picture and animation frames are made from a
    // stereo pair (the script's own anaglyph, or one composed by a method),
    // and the arrangement of a written pair; with a layout, stereo animation
    // frames show the pair arranged so instead of an anaglyph.
    StereoLook look;
    // Every finished frame into this .gif, .webp or .mp4; empty for none.
    std::string animation;
    double fps = DefaultFps;
    // Called with the canvas window's image whenever it changes (raise: the
    // plug-in asked to show the window), for a live view.
    std::function<void(const Image &window, bool raise)> onCanvasWindow;
    // The host's camera, turned round the origin; by default the script's view.
    Camera camera;
    // How much the record of the OpenGL calls may hold.
    StreamLimits streamLimits;
    // Every finished frame's 3D model to PREFIX-0001.glb, ...; empty for none.
    // The record must be kept (streamLimits.keepBytes) for it.
    std::string exportFramesPrefix;
    // Names the model inside exported files; "model" when empty.
    std::string exportTitle;
};

// Where a run's time went, in seconds (the host's own share in HostTimes).
struct SessionTimes {
    double openGl = 0;   // opening the display and the first context
    double module = 0;   // loading the module and its welcome canvas
    double commands = 0; // all command lines, the host's work during them included
    double png = 0;      // encoding and writing images
};


class LineSource;

class Session final : private HostEvents {
public:
    // Opens OpenGL, loads the module and hands it the host table. None when
    // either cannot be done, with the reason in error: a start-up fault.
    static std::unique_ptr<Session> Start(const SessionOptions &options, MessageSink &sink, std::string &error);
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Hands one line of the command window to the plug-in and reports its
    // answer; where names the line in messages ("demo.tsl:12"), or is empty.
    void RunLine(std::string_view line, const std::string &where);
    // Every line of a script, until the end, a stop or an interrupt. name
    // names the script. Lines run as they arrive from lines.
    void RunScript(LineSource &lines, const std::string &name);
    void RunScript(std::string_view text, const std::string &name);
    // Reports a line over MaxLineLength (process/line_reader.h) as a failing
    // line that never reached the plug-in; the run goes on.
    void RefuseLongLine(const std::string &where);
    // Reports that input could not be read (or held) any further: an error.
    void InputFailed(const std::string &where, const std::string &reason);
    // Says, once input has ended, what the person may have missed.
    void EndOfInput(const std::string &where);
    // The camera of every frame whose view is set up from now on, and of redraws.
    void SetCamera(const Camera &camera) { host_->SetCamera(camera); }
    // Redraws the last finished frame with the current camera from what was
    // recorded of it, without running the script again: both eyes in stereo,
    // the anaglyph made again when the script made one of that frame, and
    // reported as a frame. False when no record of it was kept (the budget
    // is SessionOptions::streamLimits.keepBytes): run the script again then.
    bool RedrawLastFrame();
    // Writes the requested images; false (and an error message) if one fails.
    bool WriteOutputs(const Outputs &outputs);
    // The canvas window's picture as the options compose it (--anaglyph,
    // --swap-eyes), which WriteWindow writes; empty without a canvas.
    // shownIn names where it goes, for the warning when there is no stereo
    // pair to compose.
    Image WindowPicture(const std::string &shownIn);
    // Writes what the canvas window shows, the right canvas or both eyes side by side.
    bool WriteWindow(const std::string &path);
    bool WriteRight(const std::string &path);
    bool WriteSideBySide(const std::string &path);
    // Both eyes in the chosen layout (parallel by default), or as a stereo
    // JPEG when path ends in .mpo.
    bool WritePair(const std::string &path);
    // Writes the 3D model of the last finished frame of the 3D canvas (the
    // selected one, or the one the canvas window shows) to path, in the
    // format its extension names; false, with an error said and nothing
    // written, when there is no such frame or the file cannot be written.
    bool ExportModel(const std::string &path);
    // Completes the animation file, if one is being written.
    bool FinishAnimation();

    bool Stopped() const { return host_->StopRequested(); }
    bool HadError() const { return hadError_; }
    int ExitStatus() const { return hadError_ ? 1 : 0; }
    CanvasHost &Host() { return *host_; }
    const GlDevice &Device() const { return *device_; }
    const std::string &DisplayName() const { return displayName_; }
    const SessionTimes &Times() const { return times_; }
    // One line saying where the time went.
    std::string TimingReport() const;

private:
    Session(const SessionOptions &options, MessageSink &sink) : options_(options), sink_(sink) {}
    void Say(const std::string &text);
    void Report(Severity severity, const std::string &text);
    void Fail(const std::string &text) { Report(Severity::Error, text); }
    void HostMessage(Severity severity, const std::string &text) override { Report(severity, text); }
    void FrameFinished(const Canvas &left, const Canvas *right) override;
    void CopyRequested(const Image &image) override;
    void AnaglyphMade(const ScriptColours &colours) override;
    // Whether the options ask for the canvas window to be composed anew.
    bool ComposesWindow() const;
    std::optional<Image> StereoPairFor(const std::string &path, const Canvas *&right);
    bool FlushFrame();
    // Why the last frame cannot be exported, or empty when it can.
    std::string ExportProblem() const;
    void ExportFrame(int number);
    void CanvasWindowChanged(bool raise) override;

    SessionOptions options_;
    MessageSink &sink_;
    std::unique_ptr<GlDevice> device_;
    std::unique_ptr<CanvasHost> host_;
    std::unique_ptr<Module> module_;
    std::string displayName_;
    std::string where_;
    bool hadError_ = false;
    bool loaded_ = false;
    SessionTimes times_;
    std::unique_ptr<AnimationWriter> animation_;
    // The last finished frame, kept until the next one so that an anaglyph
    // the script makes after finishing it still goes into the animation.
    std::optional<Image> pendingFrame_;
    bool pendingStereo_ = false;
    bool warnedFrameSize_ = false;
    // The colours of the script's anaglyph of the last frame, if it made one.
    std::optional<ScriptColours> scriptAnaglyph_;
    // --export-frames: the model read so far, and how far into the record.
    std::unique_ptr<FixedFunction> frameModel_;
    std::size_t frameModelWords_ = 0;
};

} // namespace tesselin

#endif
