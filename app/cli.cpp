#include "app/cli.h"
#include "app/session.h"

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <charconv>
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

// Samples per pixel of 3D canvases unless --samples says otherwise.
constexpr int DefaultSamples = 1;

constexpr const char *Usage = R"(Tesselin draws 3D models, pictures and anaglyphs from command scripts,
without a display, and writes the result as PNG images.

Usage:
  tesselin run SCRIPT -o OUT.png [options]   run a script and save the canvas
                                             (SCRIPT - reads standard input)
  tesselin [--module PATH]                   type commands in the command window
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
    int samples = DefaultSamples;
    AnaglyphMethod anaglyph = AnaglyphMethod::Script;
    bool swapEyes = false;
    std::optional<StereoLayout> layout;
    std::string animation;
    double fps = DefaultFps;
};

// Whole positive numbers up to limit; none for anything else.
std::optional<int> CountIn(const std::string &text, int limit)
{
    int value = 0;
    auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failed != std::errc() || end != text.data() + text.size() || value < 1 || value > limit)
        return std::nullopt;
    return value;
}

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
        } else if (arguments.run && option == "--timing" && !inlineValue) {
            arguments.timing = true;
        } else if (arguments.run && option == "--frames") {
            if (!takeValue(arguments.framesPrefix))
                return std::nullopt;
        } else if (arguments.run && option == "--samples") {
            std::string text;
            if (!takeValue(text))
                return std::nullopt;
            auto samples = CountIn(text, 64);
            if (!samples) {
                error = "--samples takes a whole number from 1 to 64, not " + text;
                return std::nullopt;
            }
            arguments.samples = *samples;
        } else if (arguments.run && option == "--anaglyph") {
            std::string name;
            if (!takeValue(name))
                return std::nullopt;
            auto method = AnaglyphMethodNamed(name);
            if (!method) {
                error = "--anaglyph takes one of " + AnaglyphMethodNames() + ", not " + name;
                return std::nullopt;
            }
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
            arguments.layout = StereoLayoutNamed(name);
            if (!arguments.layout) {
                error = "--layout takes one of " + StereoLayoutNames() + ", not " + name;
                return std::nullopt;
            }
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
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    return line;
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
    options.samples = arguments->samples;
    options.anaglyph = arguments->anaglyph;
    options.swapEyes = arguments->swapEyes;
    options.layout = arguments->layout;
    options.animation = arguments->animation;
    options.fps = arguments->fps;
    StderrSink sink;
    auto session = Session::Start(options, sink, error);
    if (!session) {
        std::fprintf(stderr, "tesselin: %s\n", error.c_str());
        return 2;
    }
    if (!arguments->run)
        return CommandWindow(*session);
    session->RunScript(*script, arguments->script);
    session->WriteOutputs(arguments->outputs);
    if (arguments->timing)
        sink.Line(session->TimingReport());
    return session->ExitStatus();
}

} // namespace tesselin
