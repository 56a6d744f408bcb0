#include "app/cli/options.h"
#include "app/export/export.h"
#include "app/names/named_values.h"
#include "app/names/nearest.h"

#include <array>
#include <charconv>
#include <cstdlib>

namespace tesselin {

namespace {

// The commands an option belongs to, as bits.
// The language server takes no option but --help.
enum Uses : unsigned { InWindow = 1, InRun = 2, InCheck = 4, InView = 8, Everywhere = 15, InLsp = 16 };

// What follows an option: nothing (a flag, which refuses "=value"), a value
// (the next word, or what follows "="), or nothing with any "=value" let pass.
enum class Takes { Nothing, Value, NothingAnyValue };

// Keeps an option's value (empty for a flag) in arguments; false with the
// message in error for a value the option does not take.
using Reader = bool (*)(Arguments &arguments, const std::string &value, std::string &error);

struct Option {
    std::string_view name, alias;
    unsigned uses;
    Takes takes;
    Reader read;
};

constexpr auto Commands = std::to_array<Named<Command>>({
    {"run", Command::Run},
    {"check", Command::Check},
    {"view", Command::View},
    {"lsp", Command::Lsp},
});

unsigned UseOf(Command command)
{
    switch (command) {
    case Command::Window:
        return InWindow;
    case Command::Run:
        return InRun;
    case Command::Check:
        return InCheck;
    case Command::View:
        return InView;
    case Command::Lsp:
        return InLsp;
    }
    return 0;
}

bool ReadSamples(Arguments &arguments, const std::string &text, std::string &error)
{
    int value = 0;
    auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failed != std::errc() || end != text.data() + text.size() || value < 1 || value > MaxSamples) {
        error = "--samples takes a whole number from 1 to " + std::to_string(MaxSamples) + ", not " + text;
        return false;
    }
    arguments.samples = value;
    return true;
}

bool ReadAnaglyph(Arguments &arguments, const std::string &name, std::string &error)
{
    auto method = AnaglyphMethodNamed(name);
    if (!method)
        error = "--anaglyph takes one of " + AnaglyphMethodNames() + ", not " + name;
    else
        arguments.look.anaglyph = *method;
    return method.has_value();
}

bool ReadLayout(Arguments &arguments, const std::string &name, std::string &error)
{
    arguments.look.layout = StereoLayoutNamed(name);
    if (!arguments.look.layout)
        error = "--layout takes one of " + StereoLayoutNames() + ", not " + name;
    return arguments.look.layout.has_value();
}

bool ReadMode(Arguments &arguments, const std::string &name, std::string &error)
{
    auto mode = ModeNamed(name);
    if (!mode)
        error = "--mode is " + ModeNames() + ", not " + name;
    else
        arguments.mode = *mode;
    return mode.has_value();
}

bool ReadOrbit(Arguments &arguments, const std::string &text, std::string &error)
{
    auto orbit = ParseOrbit(text, error);
    if (orbit) {
        arguments.camera.azimuth = orbit->azimuth;
        arguments.camera.elevation = orbit->elevation;
    }
    return orbit.has_value();
}

// The distance of the turned camera is the one the view starts with, known
// when all options are read.
bool ReadTurn(Arguments &arguments, const std::string &text, std::string &error)
{
    auto orbit = ParseOrbit(text, error);
    if (orbit)
        arguments.turn = Camera{orbit->azimuth, orbit->elevation, std::nullopt};
    return orbit.has_value();
}

bool ReadDistance(Arguments &arguments, const std::string &text, std::string &error)
{
    arguments.camera.distance = ParseDistance(text, error);
    return arguments.camera.distance.has_value();
}

bool ReadFps(Arguments &arguments, const std::string &text, std::string &error)
{
    char *end = nullptr;
    double fps = std::strtod(text.c_str(), &end);
    if (*end || !(fps > 0 && fps <= MaxFps)) {
        error = "--fps takes a number above 0 and at most 120, not " + text;
        return false;
    }
    arguments.fps = fps;
    return true;
}

bool ReadAnimation(Arguments &arguments, const std::string &path, std::string &error)
{
    if (!AnimationFormatOf(path)) {
        error = "--animation writes .gif, .webp or .mp4 files, not " + path;
        return false;
    }
    arguments.animation = path;
    return true;
}

bool ReadExport(Arguments &arguments, const std::string &path, std::string &error)
{
    if (error = ExportFormatProblem(path); !error.empty())
        return false;
    arguments.exportPath = path;
    return true;
}

bool ReadReloads(Arguments &arguments, const std::string &text, std::string &error)
{
    std::size_t used = 0;
    int count = -1;
    try {
        count = std::stoi(text, &used);
    } catch (const std::exception &) {
    }
    if (count < 0 || used != text.size()) {
        error = "--reloads needs a count of 0 or more, not " + text;
        return false;
    }
    arguments.reloads = count;
    return true;
}

// Every option of every command, in the order of the help texts.
const Option Options[] = {
    {"--help", "-h", Everywhere | InLsp, Takes::NothingAnyValue,
     [](Arguments &a, const std::string &, std::string &) { a.help = true; return true; }},
    {"--output", "-o", InRun, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.outputs.window = value; return true; }},
    {"--right", "", InRun, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.outputs.right = value; return true; }},
    {"--side-by-side", "", InRun, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.outputs.sideBySide = value; return true; }},
    {"--frames", "", InRun, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.framesPrefix = value; return true; }},
    {"--samples", "", InRun | InView, Takes::Value, ReadSamples},
    {"--anaglyph", "", InRun | InView, Takes::Value, ReadAnaglyph},
    {"--swap-eyes", "", InRun | InView, Takes::Nothing,
     [](Arguments &a, const std::string &, std::string &) { a.look.swapEyes = true; return true; }},
    {"--pair", "", InRun, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.outputs.pair = value; return true; }},
    {"--layout", "", InRun, Takes::Value, ReadLayout},
    {"--animation", "", InRun, Takes::Value, ReadAnimation},
    {"--fps", "", InRun, Takes::Value, ReadFps},
    {"--export", "", InRun, Takes::Value, ReadExport},
    {"--export-frames", "", InRun, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.exportFramesPrefix = value; return true; }},
    {"--module", "", Everywhere, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.modulePath = value; return true; }},
    {"--timing", "", InRun, Takes::Nothing,
     [](Arguments &a, const std::string &, std::string &) { a.timing = true; return true; }},
    {"--orbit", "", Everywhere, Takes::Value, ReadOrbit},
    {"--distance", "", Everywhere, Takes::Value, ReadDistance},
    {"--no-window", "", InWindow | InCheck, Takes::Nothing,
     [](Arguments &a, const std::string &, std::string &) { a.noWindow = true; return true; }},
    {"--mode", "", InView, Takes::Value, ReadMode},
    {"--turn", "", InView, Takes::Value, ReadTurn},
    {"--screenshot", "", InView, Takes::Value,
     [](Arguments &a, const std::string &value, std::string &) { a.screenshot = value; return true; }},
    {"--reloads", "", InView, Takes::Value, ReadReloads},
};

// The option called name (or by its short name) among those of uses.
const Option *FindOption(std::string_view name, unsigned uses)
{
    for (const Option &option : Options)
        if ((option.uses & uses) && (name == option.name || (!option.alias.empty() && name == option.alias)))
            return &option;
    return nullptr;
}

// Who takes an option, for a message: the first of run, view, the command
// window and check that does.
std::string TakenBy(unsigned uses)
{
    if (uses & InRun)
        return "tesselin run";
    if (uses & InView)
        return "tesselin view";
    if (uses & InWindow)
        return "the command window";
    return "tesselin check";
}

std::string UnknownOption(Command command, const std::string &name, bool gaveValue)
{
    std::string message = "unknown option " + name;
    if (const Option *option = FindOption(name, UseOf(command)))
        return gaveValue && option->takes == Takes::Nothing ? message + " (did you mean " + name + ", without a value?)"
                                                            : message;
    if (const Option *option = FindOption(name, Everywhere))
        return message + " (an option of " + TakenBy(option->uses) + ")";
    std::vector<std::string_view> names;
    for (const Option &option : Options)
        if (option.uses & UseOf(command))
            names.push_back(option.name);
    std::string_view near = NearestName(name, names);
    return near.empty() ? message : message + " (did you mean " + std::string(near) + "?)";
}

// A word where the command window takes no words, or a second script for
// check: a slip of a command word, a command word in the wrong place, or
// perhaps a script that was meant to run.
std::string UnknownCommand(const std::string &word)
{
    std::string message = "unknown command " + word;
    if (ValueNamed(Commands, word))
        return message + " (" + word + " comes first: tesselin " + word + " ...)";
    std::vector<std::string_view> names;
    for (const Named<Command> &command : Commands)
        names.emplace_back(command.name);
    if (std::string_view near = NearestName(word, names); !near.empty())
        return message + " (did you mean: tesselin " + std::string(near) + "?)";
    return message + " (did you mean: tesselin run " + word + "?)";
}

// The script of run and check may be - (standard input); view's must be a file.
bool NamesScript(Command command, const std::string &word)
{
    if (command == Command::Run || command == Command::Check)
        return word == "-" || word.empty() || word[0] != '-';
    return command == Command::View && !word.empty() && word[0] != '-';
}

// Reads the word at i (and its value after it, moving i on); false with the
// message in error.
bool ReadWord(Arguments &arguments, const std::vector<std::string> &argv, std::size_t &i, std::string &error)
{
    std::string name = argv[i], value;
    // --option=value, for long options alone.
    bool inlineValue = false;
    if (auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.resize(equals);
        inlineValue = true;
    }
    const Option *option = FindOption(name, UseOf(arguments.command));
    if (option && !(option->takes == Takes::Nothing && inlineValue)) {
        if (option->takes != Takes::Value)
            return option->read(arguments, {}, error);
        if (!inlineValue && i + 1 < argv.size())
            value = argv[++i];
        if (value.empty()) {
            error = name + " needs a value";
            return false;
        }
        return option->read(arguments, value, error);
    }
    if (arguments.script.empty() && NamesScript(arguments.command, name)) {
        arguments.script = name;
        return true;
    }
    bool word = arguments.command == Command::Window || arguments.command == Command::Check;
    error = word && (name.empty() || name[0] != '-') ? UnknownCommand(name)
                                                    : UnknownOption(arguments.command, name, inlineValue);
    return false;
}

// What holds between options once all are read.
bool Finish(Arguments &arguments, std::string &error)
{
    bool takesScript = arguments.command != Command::Window && arguments.command != Command::Lsp;
    if (takesScript && arguments.script.empty() && !arguments.help) {
        error = std::string(NameIn(Commands, arguments.command)) + " needs a script";
        return false;
    }
    if (arguments.command != Command::View)
        return true;
    if ((arguments.reloads > 0 || arguments.turn) && arguments.screenshot.empty()) {
        error = std::string(arguments.turn ? "--turn" : "--reloads") + " only goes with --screenshot";
        return false;
    }
    if (arguments.turn)
        arguments.turn->distance = arguments.camera.distance;
    return true;
}

} // namespace

Command CommandOf(const std::vector<std::string> &argv)
{
    if (argv.empty())
        return Command::Window;
    return ValueNamed(Commands, argv[0]).value_or(Command::Window);
}

std::optional<Arguments> ParseArguments(Command command, const std::vector<std::string> &argv, std::string &error)
{
    Arguments arguments;
    arguments.command = command;
    for (std::size_t i = 0; i < argv.size(); i++)
        if (!ReadWord(arguments, argv, i, error))
            return std::nullopt;
    if (!Finish(arguments, error))
        return std::nullopt;
    return arguments;
}

std::vector<std::string> OptionsOf(Command command)
{
    std::vector<std::string> names;
    for (const Option &option : Options)
        if (option.uses & UseOf(command))
            names.emplace_back(option.name);
    return names;
}

std::optional<ViewArguments> ParseViewArguments(const std::vector<std::string> &argv, std::string &error)
{
    auto arguments = ParseArguments(Command::View, argv, error);
    if (!arguments)
        return std::nullopt;
    return ViewPart(*arguments);
}

ViewArguments ViewPart(const Arguments &arguments)
{
    ViewArguments view;
    view.script = arguments.script;
    view.modulePath = arguments.modulePath;
    view.screenshot = arguments.screenshot;
    view.reloads = arguments.reloads;
    view.mode = arguments.mode;
    view.camera = arguments.camera;
    view.turn = arguments.turn;
    view.samples = arguments.samples;
    view.look = arguments.look;
    view.help = arguments.help;
    return view;
}

} // namespace tesselin
