// tesselin.exe: a script to a picture on Windows, with no other program.
// It loads tesselin.dll from its own folder (the module of its own width),
// runs the script on bitmap canvases and writes PNG files through the
// Windows Imaging Component:
//
//   tesselin.exe run SCRIPT [-o OUT.png] [--right RIGHT.png] [--module DLL]
//
// Without -o the picture goes to SCRIPT's name with .png in the current
// folder. The picture is what the canvas window shows: the left canvas, or
// the anaglyph the script made. Messages go to standard error as
// SCRIPT:LINE: TEXT. Exit status: 0 when no command failed, 1 when one did or
// a picture could not be written, 2 when the program cannot start or is
// called wrongly.
#include "platform/win32/host/png_writer.h"
#include "platform/win32/host/script_host.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using tesselin::windows::Pixels;

constexpr const char *Usage =
    "Usage:\n"
    "  tesselin run SCRIPT [-o OUT.png] [--right RIGHT.png] [--module DLL]\n"
    "                       run a script and save what the canvas window shows\n"
    "                       (the left canvas, or the script's anaglyph); without\n"
    "                       -o, SCRIPT's name with .png in the current folder\n"
    "  --right RIGHT.png    also save the right canvas of a stereo pair\n"
    "  --module DLL         the module to load (tesselin.dll beside this program)\n"
    "  tesselin --version   say which tesselin this is\n"
    "  tesselin --help      show this text\n"
    "Messages: SCRIPT:LINE: TEXT on standard error. Exit status: 0 when no\n"
    "command failed, 1 when one did or a picture could not be written, 2 when\n"
    "the program cannot start or is called wrongly.\n";

struct Arguments {
    bool help = false, version = false;
    std::string script, output, right, module;
};

bool EndsWithPng(const std::string &path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char &c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

// The options' values; none with the reason in error.
std::optional<Arguments> Parse(const std::vector<std::string> &args, std::string &error)
{
    Arguments arguments;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "/?"))
        return arguments.help = true, arguments;
    if (args.size() == 1 && args[0] == "--version")
        return arguments.version = true, arguments;
    if (args.empty() || args[0] != "run")
        return error = args.empty() ? "say what to do: tesselin run SCRIPT -o OUT.png" : "unknown command " + args[0],
               std::nullopt;
    for (std::size_t i = 1; i < args.size(); i++) {
        const std::string &arg = args[i];
        std::string *value = arg == "-o" ? &arguments.output : arg == "--right" ? &arguments.right
                             : arg == "--module"                     ? &arguments.module
                                                                     : nullptr;
        if (value) {
            if (i + 1 >= args.size())
                return error = arg + " needs a value", std::nullopt;
            *value = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return error = "unknown option " + arg, std::nullopt;
        } else if (arguments.script.empty()) {
            arguments.script = arg;
        } else {
            return error = "one script at a time (" + arguments.script + " and " + arg + ")", std::nullopt;
        }
    }
    if (arguments.script.empty())
        return error = "run needs a script", std::nullopt;
    for (const std::string *path : {&arguments.output, &arguments.right})
        if (!path->empty() && !EndsWithPng(*path))
            return error = "cannot write " + *path + ": this program writes PNG files; name it .png", std::nullopt;
    return arguments;
}

// tesselin.dll in the folder this program is in.
std::string ModuleBesideProgram()
{
    std::vector<char> path(MAX_PATH);
    DWORD length = GetModuleFileNameA(nullptr, path.data(), DWORD(path.size()));
    std::string program(path.data(), length);
    std::size_t slash = program.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + "tesselin.dll";
}

// SCRIPT's file name with .png, in the current folder.
std::string DefaultOutput(const std::string &script)
{
    std::size_t slash = script.find_last_of("\\/");
    std::string name = slash == std::string::npos ? script : script.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".png";
}

bool WriteOne(const std::string &path, const Pixels *pixels, const char *missing)
{
    std::string error;
    if (!pixels)
        error = "cannot write " + path + ": " + missing;
    else if (tesselin::windows::WritePng(path, *pixels, error))
        return true;
    std::fprintf(stderr, "Error! %s\n", error.c_str());
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    std::string error;
    auto arguments = Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), error);
    if (!arguments) {
        std::fprintf(stderr, "tesselin: %s\nTry tesselin --help\n", error.c_str());
        return 2;
    }
    if (arguments->help || arguments->version) {
        std::fputs(arguments->help ? Usage : "tesselin " TESSELIN_VERSION "\n", stdout);
        return 0;
    }
    std::string output = arguments->output.empty() ? DefaultOutput(arguments->script) : arguments->output;
    std::string module = arguments->module.empty() ? ModuleBesideProgram() : arguments->module;
    tesselin::windows::RunOptions options;
    options.messages = stderr;
    options.sayLoaded = false;
    int status = tesselin::windows::RunScriptFile(
        module, arguments->script,
        [&](const Pixels *window, const Pixels *right) {
            bool ok = WriteOne(output, window, "there is no canvas");
            if (!arguments->right.empty())
                ok = WriteOne(arguments->right, right, "there is no right canvas (the script made no stereo pair)") && ok;
            return ok;
        },
        options);
    if (status == 0 && arguments->output.empty())
        std::fprintf(stderr, "Wrote %s\n", output.c_str());
    return status;
}
