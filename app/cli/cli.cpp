#include "app/cli/cli.h"
#include "app/cli/options.h"
#include "app/console/command_window.h"
#include "app/console/prompt_window.h"
#include "app/files/image_file.h"
#include "app/lsp/server.h"
#include "app/process/interrupt.h"
#include "app/process/line_reader.h"
#include "app/script/check.h"
#include "app/session/session.h"
#include "app/view/viewer.h"

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tesselin {

namespace {

constexpr const char *Usage = R"(Tesselin draws 3D models, pictures and anaglyphs from command scripts,
without a display, and writes the result as PNG images.

Usage:
  tesselin run SCRIPT -o OUT.png [options]   run a script and save the canvas
                                             (SCRIPT - reads standard input;
                                             without -o, SCRIPT's name with .png
                                             in the current directory, or
                                             tesselin.png for standard input)
  tesselin check SCRIPT                      read a script without running it
                                             and report what would go wrong
  tesselin view SCRIPT [options]             show the script's picture in a window
                                             that follows the file (view --help)
  tesselin lsp                               the language server for editors
                                             (on standard input and output)
  tesselin [--module PATH] [--no-window]     type commands in the command window
                                             (with a display, the canvas window
                                             opens beside it; --no-window keeps
                                             it headless)
  tesselin --help                            show this text
  tesselin --version                         say which tesselin this is

A script is a text file with one command per line, for example:

  # a torus, lit from the upper left
  canvas 640 480 persp 30 1 100 12
  clear 0.1 0.1 0.2
  light -1 1 1
  diffuse 0.8 0.3 0.2
  torus 2 0 360 24 x 360 48 x
  finish

Blank lines and lines starting with # are skipped. Words are separated by
spaces; put a word in double quotes to keep spaces in it. manual.htm lists
every command.

Options of run:
  -o, --output FILE      write what the canvas window shows (the left canvas,
                         or the anaglyph after an anaglyph command) as PNG;
                         - writes it to standard output. An image that
                         cannot be written leaves the file that was there.
  --right FILE           write the right canvas of a stereo pair as PNG
  --side-by-side FILE    write both eyes of a stereo pair next to each other
                         (left eye on the left) as PNG
  --frames PREFIX        write every finished frame: PREFIX-0001.png, ...;
                         the right eye of a stereo frame as PREFIX-0001-right.png
  --samples N            samples per pixel of 3D canvases (default 1); 4 gives smooth
                         edges, 1 the exact raster without them
  --anaglyph METHOD      compose the canvas window from the two eyes by METHOD
                         instead of the script's colours: color, half-color,
                         gray, dubois (red-cyan), green-magenta, amber-blue;
                         script (the default) keeps the script's anaglyph
  --swap-eyes            exchange the eyes (glasses worn the other way round)
  --pair FILE            write both eyes in the --layout as PNG, or as a stereo
                         JPEG when FILE ends in .mpo
  --layout LAYOUT        parallel (default), cross-eyed, over-under, half-width,
                         half-height; stereo animations show this layout
                         instead of the anaglyph
  --animation FILE       write every finished frame into one .gif, .webp or
                         .mp4 (.mp4 needs the ffmpeg program)
  --fps N                frames per second of the animation (default 25)
  --module PATH          the plug-in module (default: tesselin.so next to
                         this program, or in ../lib/tesselin when installed)
  --timing               say at the end where the time went
  --orbit AZ,EL          turn the camera round the origin: AZ degrees from the
                         front towards +x, EL degrees up towards +y (0,0 is
                         the view the script sets up)
  --distance D           put the camera D from the origin instead of the
                         script's distance
  --export FILE          write the 3D model of the last finished frame, in
                         world coordinates (1 unit = 1 metre): .glb or .gltf
                         (glTF 2.0), .obj (and a .mtl beside it), .stl
                         (binary, triangles only) or .html (a page that shows
                         it in 3D and stereo, offline)
  --export-frames PREFIX write every finished frame's model as
                         PREFIX-0001.glb, ...

The command window (tesselin without run) reads commands from the keyboard,
with line editing and history, or from a pipe; it answers each command with
its message. Lines starting with a dot are for the window itself:
  .save FILE   .save-right FILE   .save-pair FILE   .export FILE
  .help [KEYWORD]   .quit
Tab completes keywords and file names; the history is kept in
$XDG_STATE_HOME/tesselin/history (or ~/.local/state/tesselin/history).

Messages go to standard error as SCRIPT:LINE: Error! ... (or Warning: ...),
the plug-in's own words; a line of help from this program may follow as
SCRIPT:LINE:COLUMN: Hint: ... (or Warning: ...), naming the token.
check reports on standard output, exit status 0 when the script is clean,
1 when it found something, 2 when it cannot read the script.

Ctrl-C ends a run at once (exit status 130) without leaving a half-written
image. In the command window it drops the line being typed; during a command
it stops what comes after it, and a second Ctrl-C leaves.
Exit status: 0 when no command failed, 1 when one did (or an image could not
be written), 2 for a usage fault or when the program cannot start (no
module, no OpenGL, no script).
)";

// Runs the script of a tesselin run and writes its images.
// Without any output named, the canvas window goes to the default file, if
// there is a canvas left to write.
int RunScript(Session &session, LineReader &script, Arguments arguments, bool defaultOutput, StderrSink &sink)
{
    session.RunScript(script, arguments.script);
    if (!arguments.exportPath.empty())
        session.ExportModel(arguments.exportPath);
    if (defaultOutput && !session.Host().WindowCanvas()) {
        arguments.outputs.window.clear();
        defaultOutput = false;
        sink.Message(Severity::Note, "no canvas is left at the end, so no picture was written");
    }
    if (session.WriteOutputs(arguments.outputs) && defaultOutput)
        sink.Message(Severity::Note, "no -o given, so the canvas window was written to " + arguments.outputs.window);
    if (arguments.timing)
        sink.Line(session.TimingReport());
    return session.ExitStatus();
}

// Where run writes the canvas window when no output is named: the script's
// name with .png, in the current directory.
std::string DefaultOutput(const std::string &script)
{
    if (script == "-")
        return "tesselin.png";
    return std::filesystem::path(script).filename().replace_extension(".png").string();
}

int Check(const std::string &script)
{
    std::string error;
    auto reader = LineReader::Open(script, error);
    if (!reader) {
        std::fprintf(stderr, "tesselin: %s\n", error.c_str());
        return 2;
    }
    std::error_code status;
    int found = CheckScript(script == "-" ? "stdin" : script, *reader, std::filesystem::current_path(status), std::cout);
    if (!reader->Error().empty()) {
        std::fprintf(stderr, "tesselin: cannot read %s: %s\n", script.c_str(), reader->Error().c_str());
        return 2;
    }
    return found;
}

// What holds for every run of the program, before anything else.
void PrepareProcess()
{
    // The plug-in reads numbers with atof: the decimal point stays '.'.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    WritesFailInsteadOfEnding();
}

// The arguments to go on with; none when the program ends here (a usage
// fault, or the help), with its exit status in status.
std::optional<Arguments> ReadArguments(const std::vector<std::string> &args, int &status)
{
    Command command = CommandOf(args);
    std::vector<std::string> words(args.begin() + (command == Command::Window ? 0 : 1), args.end());
    std::string error;
    auto arguments = ParseArguments(command, words, error);
    const char *program = command == Command::View ? "tesselin view" : "tesselin";
    if (!arguments) {
        std::fprintf(stderr, "%s: %s\nTry %s --help\n", program, error.c_str(), program);
        status = 2;
    } else if (arguments->help) {
        std::fputs(command == Command::View ? ViewUsage : Usage, stdout);
        status = 0;
        arguments.reset();
    }
    return arguments;
}

SessionOptions OptionsFor(const Arguments &arguments)
{
    SessionOptions options;
    options.modulePath = arguments.modulePath.empty() ? ModuleBesideProgram() : arguments.modulePath;
    options.framesPrefix = arguments.framesPrefix;
    options.copyBeside = arguments.outputs.window;
    options.samples = arguments.samples;
    options.look = arguments.look;
    options.animation = arguments.animation;
    options.fps = arguments.fps;
    options.camera = arguments.camera;
    return options;
}

// Starts the session and hands it to use; the exit status.
int WithSession(const SessionOptions &options, StderrSink &sink, const std::function<int(Session &)> &use)
{
    try {
        std::string error;
        auto session = Session::Start(options, sink, error);
        if (!session) {
            std::fprintf(stderr, "tesselin: %s\n", error.c_str());
            return 2;
        }
        return use(*session);
    } catch (const std::bad_alloc &) {
        // Every line and image reports its own; this is the last resort.
        std::fprintf(stderr, "tesselin: out of memory; the run stops\n");
        return 1;
    }
}

// An output named for a format tesselin does not write, refused before
// anything runs so that nothing is written under a misleading name.
std::optional<std::string> UnwritableOutput(const Outputs &outputs)
{
    for (const std::string *path : {&outputs.window, &outputs.right, &outputs.sideBySide})
        if (auto refused = UnwritableImageName(*path))
            return refused;
    return UnwritableImageName(outputs.pair, ".mpo");
}

// tesselin run.
int Run(Arguments arguments)
{
    if (auto refused = UnwritableOutput(arguments.outputs)) {
        std::fprintf(stderr, "tesselin: %s\n", refused->c_str());
        return 2;
    }
    bool defaultOutput = arguments.outputs.window.empty() && arguments.outputs.right.empty() &&
                         arguments.outputs.sideBySide.empty() && arguments.outputs.pair.empty() &&
                         arguments.framesPrefix.empty() && arguments.animation.empty() &&
                         arguments.exportPath.empty() && arguments.exportFramesPrefix.empty();
    if (defaultOutput)
        arguments.outputs.window = DefaultOutput(arguments.script);
    std::string error;
    std::unique_ptr<LineReader> script = LineReader::Open(arguments.script, error);
    if (!script) {
        std::fprintf(stderr, "tesselin: %s\n", error.c_str());
        return 2;
    }
    // Before OpenGL and the module start, which can take a while.
    EndRunOnSignals();
    SessionOptions options = OptionsFor(arguments);
    // A batch run never redraws a frame, so it keeps no record for that,
    // unless the record is to be exported.
    if (arguments.exportPath.empty() && arguments.exportFramesPrefix.empty())
        options.streamLimits.keepBytes = 0;
    options.exportFramesPrefix = arguments.exportFramesPrefix;
    options.exportTitle =
        arguments.script == "-" ? "stdin" : std::filesystem::path(arguments.script).stem().string();
    StderrSink sink;
    return WithSession(options, sink, [&](Session &session) {
        return RunScript(session, *script, arguments, defaultOutput, sink);
    });
}

// tesselin without a command: the command window, with the canvas window
// beside it when there is a display.
int OpenCommandWindow(const Arguments &arguments)
{
    NoteInterrupts();
    SessionOptions options = OptionsFor(arguments);
    std::unique_ptr<PromptCanvas> canvas;
    if (!arguments.noWindow)
        canvas = PromptCanvas::Open();
    if (canvas) {
        options.onCanvasWindow = [&canvas](const Image &image, bool raise) { canvas->Repaint(image, raise); };
        canvas->AttachToLineEditor();
    }
    StderrSink sink;
    return WithSession(options, sink, [&](Session &session) {
        if (canvas)
            canvas->AttachSession(session);
        return CommandWindow(session);
    });
}

} // namespace

int RunCommandLine(int argc, char **argv)
{
    PrepareProcess();
    int status = 0;
    auto arguments = ReadArguments({argv + (argc > 0 ? 1 : 0), argv + argc}, status);
    if (!arguments)
        return status;
    switch (arguments->command) {
    case Command::Run:
        return Run(*arguments);
    case Command::Check:
        return Check(arguments->script);
    case Command::View:
        return RunView(ViewPart(*arguments));
    case Command::Lsp:
        return lsp::RunLanguageServer();
    case Command::Window:
        break;
    }
    return OpenCommandWindow(*arguments);
}

} // namespace tesselin
