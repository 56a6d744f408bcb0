#include "app/cli.h"
#include "app/pipe_lines.h"
#include "app/session.h"
#include "app/prompt_canvas.h"
#include "app/viewer.h"

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tesselin {

namespace {

constexpr const char *Usage = R"(Tesselin draws 3D models, pictures and anaglyphs from command scripts,
without a display, and writes the result as PNG images.

Usage:
  tesselin run SCRIPT -o OUT.png [options]   run a script and save the canvas
                                             (SCRIPT - reads standard input)
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
                         or the anaglyph after an anaglyph command) as PNG
  --right FILE           write the right canvas of a stereo pair as PNG
  --side-by-side FILE    write both eyes of a stereo pair next to each other
                         (left eye on the left) as PNG
  --frames PREFIX        write every finished frame: PREFIX-0001.png, ...;
                         the right eye of a stereo frame as PREFIX-0001-right.png
  --module PATH          the plug-in module (default: tesselin.so next to
                         this program)
  --timing               say at the end where the time went
  --orbit AZ,EL          turn the camera round the origin: AZ degrees from the
                         front towards +x, EL degrees up towards +y (0,0 is
                         the view the script sets up)
  --distance D           put the camera D from the origin instead of the
                         script's distance

The command window (tesselin without run) reads commands from the keyboard,
with line editing and history, or from a pipe; it answers each command with
its message. Lines starting with a dot are for the window itself:
  .save FILE   .save-right FILE   .save-pair FILE   .help   .quit

Messages go to standard error as SCRIPT:LINE: Error! ... (or Warning: ...).
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
  .quit              leave (so does end of input, Ctrl-D)
)";

struct Arguments {
    bool help = false;
    bool run = false;
    std::string script;
    std::string modulePath;
    Outputs outputs;
    std::string framesPrefix;
    bool timing = false;
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
        } else if (arguments.run && arguments.script.empty() && (option == "-" || option[0] != '-')) {
            arguments.script = option;
        } else {
            error = arguments.run || option[0] == '-' ? "unknown option " + option
                                                      : "unknown command " + option + " (did you mean: tesselin run " +
                                                            option + "?)";
            return std::nullopt;
        }
    }
    if (arguments.run && arguments.script.empty() && !arguments.help) {
        error = "run needs a script";
        return std::nullopt;
    }
    return arguments;
}

std::optional<std::string> ReadScript(const std::string &path, std::string &error)
{
    if (path == "-") {
        std::ostringstream text;
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the script " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// One line from the person at the keyboard (with editing and history), or
// from a pipe; none at the end of input.
std::optional<std::string> NextLine(bool terminal)
{
    if (terminal) {
        std::unique_ptr<char, decltype(&std::free)> line(readline("tesselin> "), &std::free);
        if (!line)
            return std::nullopt;
        if (*line)
            add_history(line.get());
        return std::string(line.get());
    }
    // While a pipe is quiet, the idle hook readline has at the keyboard
    // (the canvas window's events) runs too.
    return NextPipeLine(rl_event_hook ? std::function<void()>([] { rl_event_hook(); }) : nullptr);
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
        std::fputs(WindowHelp, stderr);
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
    if (terminal)
        std::fprintf(stderr, "%s command window (%s). Type .help for help, .quit to leave.\n",
                     session.DisplayName().c_str(), session.Device().Renderer().c_str());
    int number = 0;
    while (auto line = NextLine(terminal)) {
        number++;
        std::size_t first = line->find_first_not_of(" \t");
        if (first != std::string::npos && (*line)[first] == '.') {
            if (WindowCommand(session, line->substr(first)))
                break;
            continue;
        }
        // At the keyboard the line is right above its answer; from a pipe
        // the answer says which line it was.
        session.RunLine(*line, terminal ? std::string() : "stdin:" + std::to_string(number));
        if (session.Stopped())
            break;
    }
    if (terminal)
        std::fputc('\n', stderr);
    session.EndOfInput(terminal ? std::string() : "stdin");
    return session.ExitStatus();
}

} // namespace

int RunCommandLine(int argc, char **argv)
{
    // The plug-in reads numbers with atof: the decimal point stays '.'.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
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
    std::optional<std::string> script;
    if (arguments->run) {
        script = ReadScript(arguments->script, error);
        if (!script) {
            std::fprintf(stderr, "tesselin: %s\n", error.c_str());
            return 2;
        }
    }
    SessionOptions options;
    options.modulePath = arguments->modulePath.empty() ? ModuleBesideProgram() : arguments->modulePath;
    options.framesPrefix = arguments->framesPrefix;
    options.copyBeside = arguments->outputs.window;
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
    auto session = Session::Start(options, sink, error);
    if (!session) {
        std::fprintf(stderr, "tesselin: %s\n", error.c_str());
        return 2;
    }
    if (canvas)
        canvas->AttachSession(*session);
    if (!arguments->run)
        return CommandWindow(*session);
    session->RunScript(*script, arguments->script);
    session->WriteOutputs(arguments->outputs);
    if (arguments->timing)
        sink.Line(session->TimingReport());
    return session->ExitStatus();
}

} // namespace tesselin
