#include "app/cli/cli.h"
#include "app/script/command_forms.h"
#include "app/console/line_editing.h"
#include "app/script/check.h"
#include "app/process/interrupt.h"
#include "app/console/keyboard_lines.h"
#include "app/process/line_reader.h"
#include "app/session/output_options.h"
#include "app/session/session.h"
#include "app/console/prompt_window.h"
#include "app/view/viewer.h"

#include <readline/readline.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tesselin {

namespace {

// Samples per pixel of 3D canvases unless --samples says otherwise.
constexpr int DefaultSamples = 1;

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
  tesselin [--module PATH] [--no-window]     type commands in the command window
                                             (with a display, the canvas window
                                             opens beside it; --no-window keeps
                                             it headless)
  tesselin --help                            show this text

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

The command window (tesselin without run) reads commands from the keyboard,
with line editing and history, or from a pipe; it answers each command with
its message. Lines starting with a dot are for the window itself:
  .save FILE   .save-right FILE   .save-pair FILE   .help [KEYWORD]   .quit
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

constexpr const char *WindowHelp = R"(Type a command and press Enter, e.g.  canvas 400 300 persp 30 1 100 10
Window commands:
  .save FILE         write what the canvas window shows as PNG
  .save-right FILE   write the right canvas of a stereo pair as PNG
  .save-pair FILE    write both eyes side by side as PNG
  .help              this text
  .help KEYWORD      the forms of a command, e.g. .help canvas
  Tab                completes keywords, and file names after picture and arrayf
  .quit              leave (so does end of input, Ctrl-D)
)";

struct Arguments {
    bool help = false;
    bool run = false;
    bool check = false;
    std::string script;
    std::string modulePath;
    Outputs outputs;
    std::string framesPrefix;
    bool timing = false;
    int samples = DefaultSamples;
    AnaglyphMethod anaglyph = AnaglyphMethod::Script;
    bool swapEyes = false;
    std::optional<StereoLayout> layout;
    std::string animation;
    double fps = DefaultFps;
    bool noWindow = false;
    Camera camera;
};

// Parses argv; none (and a message in error) for a usage fault.
std::optional<Arguments> Parse(const std::vector<std::string> &argv, std::string &error)
{
    Arguments arguments;
    std::size_t i = 0;
    if (!argv.empty() && argv[0] == "run") {
        arguments.run = true;
        i = 1;
    } else if (!argv.empty() && argv[0] == "check") {
        arguments.check = true;
        i = 1;
    }
    for (; i < argv.size(); i++) {
        std::string option = argv[i], value;
        bool inlineValue = false;
        if (auto equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
            inlineValue = true;
        }
        auto takeValue = [&](std::string &slot) {
            if (!inlineValue) {
                if (i + 1 >= argv.size()) {
                    error = option + " needs a value";
                    return false;
                }
                value = argv[++i];
            }
            if (value.empty()) {
                error = option + " needs a value";
                return false;
            }
            slot = value;
            return true;
        };
        if (option == "-h" || option == "--help") {
            arguments.help = true;
        } else if (option == "--module") {
            if (!takeValue(arguments.modulePath))
                return std::nullopt;
        } else if (arguments.run && (option == "-o" || option == "--output")) {
            if (!takeValue(arguments.outputs.window))
                return std::nullopt;
        } else if (arguments.run && option == "--right") {
            if (!takeValue(arguments.outputs.right))
                return std::nullopt;
        } else if (arguments.run && option == "--side-by-side") {
            if (!takeValue(arguments.outputs.sideBySide))
                return std::nullopt;
        } else if (!arguments.run && option == "--no-window" && !inlineValue) {
            arguments.noWindow = true;
        } else if (arguments.run && option == "--timing" && !inlineValue) {
            arguments.timing = true;
        } else if (option == "--orbit" || option == "--distance") {
            std::string text;
            if (!takeValue(text))
                return std::nullopt;
            if (option == "--orbit") {
                auto orbit = ParseOrbit(text, error);
                if (!orbit)
                    return std::nullopt;
                arguments.camera.azimuth = orbit->azimuth;
                arguments.camera.elevation = orbit->elevation;
            } else if (!(arguments.camera.distance = ParseDistance(text, error))) {
                return std::nullopt;
            }
        } else if (arguments.run && option == "--frames") {
            if (!takeValue(arguments.framesPrefix))
                return std::nullopt;
        } else if (arguments.run && option == "--samples") {
            std::string text;
            if (!takeValue(text))
                return std::nullopt;
            auto samples = SamplesValue(text, error);
            if (!samples)
                return std::nullopt;
            arguments.samples = *samples;
        } else if (arguments.run && option == "--anaglyph") {
            std::string name;
            if (!takeValue(name))
                return std::nullopt;
            auto method = AnaglyphValue(name, error);
            if (!method)
                return std::nullopt;
            arguments.anaglyph = *method;
        } else if (arguments.run && option == "--swap-eyes" && !inlineValue) {
            arguments.swapEyes = true;
        } else if (arguments.run && option == "--pair") {
            if (!takeValue(arguments.outputs.pair))
                return std::nullopt;
        } else if (arguments.run && option == "--layout") {
            std::string name;
            if (!takeValue(name))
                return std::nullopt;
            arguments.layout = LayoutValue(name, error);
            if (!arguments.layout)
                return std::nullopt;
        } else if (arguments.run && option == "--animation") {
            if (!takeValue(arguments.animation))
                return std::nullopt;
            if (!AnimationFormatOf(arguments.animation)) {
                error = "--animation writes .gif, .webp or .mp4 files, not " + arguments.animation;
                return std::nullopt;
            }
        } else if (arguments.run && option == "--fps") {
            std::string text;
            if (!takeValue(text))
                return std::nullopt;
            char *end = nullptr;
            double fps = std::strtod(text.c_str(), &end);
            if (*end || !(fps > 0 && fps <= MaxFps)) {
                error = "--fps takes a number above 0 and at most 120, not " + text;
                return std::nullopt;
            }
            arguments.fps = fps;
        } else if ((arguments.run || arguments.check) && arguments.script.empty() &&
                   (option == "-" || option[0] != '-')) {
            arguments.script = option;
        } else {
            error = arguments.run || option[0] == '-' ? "unknown option " + option
                                                      : "unknown command " + option + " (did you mean: tesselin run " +
                                                            option + "?)";
            return std::nullopt;
        }
    }
    if ((arguments.run || arguments.check) && arguments.script.empty() && !arguments.help) {
        error = std::string(arguments.run ? "run" : "check") + " needs a script";
        return std::nullopt;
    }
    return arguments;
}

// One line from the person at the keyboard or from a pipe; none at the end
// of input (or when reading stopped).
std::optional<std::string> NextLine(KeyboardLines *keyboard, LineReader &piped)
{
    if (keyboard)
        return keyboard->Next();
    auto line = piped.Next();
    if (!line)
        return std::nullopt;
    return std::string(*line);
}

// .help alone, or the forms of the command named by keyword.
void ShowHelp(const std::string &keyword)
{
    if (keyword.empty()) {
        std::fputs(WindowHelp, stderr);
        std::string line = "Commands:";
        for (const CommandInfo &command : Commands()) {
            if (line.size() + command.keyword.size() > 78) {
                std::fprintf(stderr, "%s\n", line.c_str());
                line = "   ";
            }
            line += " " + std::string(command.keyword);
        }
        std::fprintf(stderr, "%s\n", line.c_str());
        return;
    }
    if (const CommandInfo *command = FindCommand(keyword)) {
        std::fprintf(stderr, "%s: %s\n%s", keyword.c_str(), std::string(command->summary).c_str(),
                     command->FormsPage().c_str());
        return;
    }
    std::string_view near = NearestKeyword(keyword);
    std::fprintf(stderr, "\"%s\" is not a command%s%s%s\n", keyword.c_str(), near.empty() ? "" : "; did you mean \"",
                 std::string(near).c_str(), near.empty() ? "" : "\"?");
}

// A line starting with '.': true when the window should close.
bool WindowCommand(Session &session, const std::string &line)
{
    std::istringstream words(line);
    std::string command, path, extra;
    words >> command >> path >> extra;
    if (command == ".quit" || command == ".exit")
        return true;
    if (command == ".help") {
        ShowHelp(path);
        return false;
    }
    bool save = command == ".save", right = command == ".save-right", pair = command == ".save-pair";
    if ((save || right || pair) && !path.empty() && extra.empty()) {
        bool ok = save ? session.WriteWindow(path) : right ? session.WriteRight(path) : session.WriteSideBySide(path);
        if (ok)
            std::fprintf(stderr, "Saved %s\n", path.c_str());
        return false;
    }
    std::fprintf(stderr, "Window commands: .save FILE, .save-right FILE, .save-pair FILE, .help, .quit\n");
    return false;
}

int CommandWindow(Session &session)
{
    bool terminal = isatty(STDIN_FILENO);
    std::optional<KeyboardLines> keyboard;
    std::optional<History> history;
    if (terminal) {
        keyboard.emplace("tesselin> ");
        InstallCompletion();
        history.emplace(HistoryFileFromEnvironment());
        if (!history->Problem().empty())
            std::fprintf(stderr, "Warning: %s\n", history->Problem().c_str());
        std::fprintf(stderr, "%s command window (%s). Type .help for help, .quit to leave.\n",
                     session.DisplayName().c_str(), session.Device().Renderer().c_str());
    }
    LineReader piped(STDIN_FILENO);
    // While a pipe is quiet, the idle hook the line editor has at the
    // keyboard (the canvas window's events) runs too.
    if (!terminal && rl_event_hook)
        piped.SetIdle([] { rl_event_hook(); });
    bool interrupted = false;
    int number = 0;
    for (;;) {
        auto line = NextLine(keyboard ? &*keyboard : nullptr, piped);
        // A pipe's commands are a script: an interrupt stops it, even when
        // more lines have already arrived.
        if (!terminal && InterruptPending()) {
            interrupted = true;
            break;
        }
        if (!line)
            break;
        number++;
        if (keyboard ? keyboard->TooLong() : piped.TooLong()) {
            session.RefuseLongLine(terminal ? std::string() : "stdin:" + std::to_string(number));
            continue;
        }
        if (history)
            history->Add(*line);
        std::size_t first = line->find_first_not_of(" \t");
        if (first != std::string::npos && (*line)[first] == '.') {
            if (WindowCommand(session, line->substr(first)))
                break;
            continue;
        }
        // At the keyboard the line is right above its answer; from a pipe
        // the answer says which line it was.
        session.RunLine(*line, terminal ? std::string() : "stdin:" + std::to_string(number));
        if (TakeInterrupt()) {
            if (!terminal) {
                interrupted = true;
                break;
            }
            std::fprintf(stderr, "Interrupted; the session and its pictures are kept.\n");
        }
        if (session.Stopped())
            break;
    }
    if (terminal)
        std::fputc('\n', stderr);
    if (interrupted) {
        std::fprintf(stderr, "tesselin: interrupted; the commands after stdin:%d were not run\n", number);
        return 130;
    }
    if (std::string error = piped.Error(); !error.empty())
        session.InputFailed("stdin:" + std::to_string(number + 1), error);
    else
        session.EndOfInput(terminal ? std::string() : "stdin");
    return session.ExitStatus();
}

// Runs the script of a tesselin run and writes its images.
// Without any output named, the canvas window goes to the default file, if
// there is a canvas left to write.
int RunScript(Session &session, LineReader &script, Arguments arguments, bool defaultOutput, StderrSink &sink)
{
    session.RunScript(script, arguments.script);
    if (defaultOutput && !session.Host().WindowCanvas()) {
        arguments.outputs.window.clear();
        defaultOutput = false;
        sink.Line("Note: no canvas is left at the end, so no picture was written");
    }
    if (session.WriteOutputs(arguments.outputs) && defaultOutput)
        sink.Line("Note: no -o given, so the canvas window was written to " + arguments.outputs.window);
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

} // namespace

int RunCommandLine(int argc, char **argv)
{
    // The plug-in reads numbers with atof: the decimal point stays '.'.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    // A reader that went away or a file size limit make writes fail with an
    // error the writer reports, instead of killing the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (!args.empty() && args[0] == "view")
        return RunView({args.begin() + 1, args.end()});
    std::string error;
    auto arguments = Parse(args, error);
    if (!arguments) {
        std::fprintf(stderr, "tesselin: %s\nTry tesselin --help\n", error.c_str());
        return 2;
    }
    if (arguments->help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (arguments->check)
        return Check(arguments->script);
    bool defaultOutput = arguments->run && arguments->outputs.window.empty() && arguments->outputs.right.empty() &&
                         arguments->outputs.sideBySide.empty() && arguments->outputs.pair.empty() &&
                         arguments->framesPrefix.empty() && arguments->animation.empty();
    if (defaultOutput)
        arguments->outputs.window = DefaultOutput(arguments->script);
    std::unique_ptr<LineReader> script;
    if (arguments->run) {
        script = LineReader::Open(arguments->script, error);
        if (!script) {
            std::fprintf(stderr, "tesselin: %s\n", error.c_str());
            return 2;
        }
    }
    // Before OpenGL and the module start, which can take a while.
    if (arguments->run)
        EndRunOnSignals();
    else
        NoteInterrupts();
    SessionOptions options;
    options.modulePath = arguments->modulePath.empty() ? ModuleBesideProgram() : arguments->modulePath;
    options.framesPrefix = arguments->framesPrefix;
    options.copyBeside = arguments->outputs.window;
    options.samples = arguments->samples;
    options.look = {arguments->anaglyph, arguments->swapEyes, arguments->layout};
    options.animation = arguments->animation;
    options.fps = arguments->fps;
    // The canvas window beside the prompt, when there is a display.
    std::unique_ptr<PromptCanvas> canvas;
    if (!arguments->run && !arguments->noWindow)
        canvas = PromptCanvas::Open();
    if (canvas) {
        options.onCanvasWindow = [&canvas](const Image &image, bool raise) { canvas->Repaint(image, raise); };
        canvas->AttachToLineEditor();
    }
    options.camera = arguments->camera;
    // A batch run never redraws a frame, so it keeps no record for that.
    if (arguments->run)
        options.streamLimits.keepBytes = 0;
    StderrSink sink;
    try {
        auto session = Session::Start(options, sink, error);
        if (!session) {
            std::fprintf(stderr, "tesselin: %s\n", error.c_str());
            return 2;
        }
        if (canvas)
            canvas->AttachSession(*session);
        return arguments->run ? RunScript(*session, *script, *arguments, defaultOutput, sink) : CommandWindow(*session);
    } catch (const std::bad_alloc &) {
        // Every line and image reports its own; this is the last resort.
        std::fprintf(stderr, "tesselin: out of memory; the run stops\n");
        return 1;
    }
}

} // namespace tesselin
