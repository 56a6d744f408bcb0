#include "app/view/view_mode.h"
#include "app/picture/stereo_pair.h"

#include <array>
#include <utility>

namespace tesselin {

namespace {

struct ModeEntry {
    ViewMode mode;
    char key;
    const char *name;
};

constexpr std::array<ModeEntry, 5> Modes{{
    {ViewMode::Window, 'w', "window"},
    {ViewMode::Left, 'l', "left"},
    {ViewMode::Right, 'r', "right"},
    {ViewMode::Anaglyph, 'a', "anaglyph"},
    {ViewMode::SideBySide, 's', "side-by-side"},
}};

// The script's own anaglyph replaced the left eye in the canvas window.
bool ScriptMadeAnaglyph(const RunPictures &pictures)
{
    return pictures.left && pictures.left->pixels != pictures.window.pixels;
}

} // namespace

std::optional<ViewMode> ModeForKey(char key)
{
    for (const ModeEntry &entry : Modes)
        if (entry.key == key)
            return entry.mode;
    return std::nullopt;
}

std::optional<ViewMode> ModeNamed(std::string_view name)
{
    for (const ModeEntry &entry : Modes)
        if (name == entry.name)
            return entry.mode;
    return std::nullopt;
}

const char *ModeName(ViewMode mode)
{
    for (const ModeEntry &entry : Modes)
        if (entry.mode == mode)
            return entry.name;
    return "?";
}

std::optional<Image> PictureFor(ViewMode mode, const RunPictures &pictures, std::string &why)
{
    const Image &left = pictures.left ? *pictures.left : pictures.window;
    switch (mode) {
    case ViewMode::Window:
        return pictures.window;
    case ViewMode::Left:
        return left;
    default:
        break;
    }
    if (!pictures.right) {
        why = std::string("the script made no stereo pair, so there is no ") + ModeName(mode) + " view";
        return std::nullopt;
    }
    if (mode == ViewMode::Right)
        return pictures.right;
    // The window's picture was composed by the look already; these show the eyes as drawn.
    const StereoLook asDrawn;
    if (mode == ViewMode::SideBySide)
        return SideBySidePicture(left, *pictures.right, asDrawn);
    if (ScriptMadeAnaglyph(pictures))
        return pictures.window;
    return StereoPicture(left, *pictures.right, asDrawn, false, RedCyanColours);
}

} // namespace tesselin
