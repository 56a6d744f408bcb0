#include "app/console/dot_commands.h"

#include <algorithm>
#include <array>

namespace tesselin {

namespace {

constexpr std::array<WindowCommandInfo, 6> Table{{
    {".save", "", WindowAction::Save, WindowArgument::File, "write what the canvas window shows as PNG", ""},
    {".save-right", "", WindowAction::SaveRight, WindowArgument::File, "write the right canvas of a stereo pair as PNG",
     ""},
    {".save-pair", "", WindowAction::SavePair, WindowArgument::File, "write both eyes side by side as PNG", ""},
    {".export", "", WindowAction::Export, WindowArgument::File,
     "write the 3D model of the last frame (.glb .gltf .obj .stl .html)", ""},
    {".help", "", WindowAction::Help, WindowArgument::Keyword, "this text", "the forms of a command, e.g. .help canvas"},
    {".quit", ".exit", WindowAction::Quit, WindowArgument::None, "leave (so does end of input, Ctrl-D)", ""},
}};

// How a command is shown with what it takes: ".save FILE".
std::string Shown(const WindowCommandInfo &command, bool withKeyword)
{
    std::string shown(command.name);
    if (command.argument == WindowArgument::File)
        shown += " FILE";
    else if (command.argument == WindowArgument::Keyword && withKeyword)
        shown += " KEYWORD";
    return shown;
}

std::string Row(const std::string &shown, std::string_view help)
{
    std::string row = "  " + shown;
    row.resize(std::max<std::size_t>(row.size() + 1, 21), ' ');
    return (row += help) += '\n';
}

} // namespace

std::span<const WindowCommandInfo> WindowCommands() { return Table; }

const WindowCommandInfo *FindWindowCommand(std::string_view word)
{
    for (const WindowCommandInfo &command : Table)
        if (word == command.name || (!command.alias.empty() && word == command.alias))
            return &command;
    return nullptr;
}

std::string WindowCommandsHelp()
{
    std::string rows;
    for (const WindowCommandInfo &command : Table) {
        // Tab is a key, not a command; it is told of before the way out.
        if (command.action == WindowAction::Quit)
            rows += Row("Tab", "completes keywords, and file names after picture and arrayf");
        rows += Row(Shown(command, false), command.help);
        if (command.argument == WindowArgument::Keyword)
            rows += Row(Shown(command, true), command.helpWithKeyword);
    }
    return rows;
}

std::string WindowCommandsList()
{
    std::string list;
    for (const WindowCommandInfo &command : Table)
        list += (list.empty() ? "" : ", ") + Shown(command, false);
    return list;
}

} // namespace tesselin
