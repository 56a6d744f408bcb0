#include "app/view/view_mode.h"
#include "app/names/named_values.h"
#include "app/picture/stereo_pair.h"

#include <array>
#include <utility>

namespace tesselin {

namespace {

// The key that selects a mode is the first letter of its name.
constexpr auto Modes = std::to_array<Named<ViewMode>>({
    {"window", ViewMode::Window},
    {"left", ViewMode::Left},
    {"right", ViewMode::Right},
    {"anaglyph", ViewMode::Anaglyph},
    {"side-by-side", ViewMode::SideBySide},
});

// The script's own anaglyph replaced the left eye in the canvas window.
bool ScriptMadeAnaglyph(const RunPictures &pictures)
{
    return pictures.left && pictures.left->pixels != pictures.window.pixels;
}

} // namespace

std::optional<ViewMode> ModeForKey(char key)
{
    for (const Named<ViewMode> &entry : Modes)
        if (entry.name.front() == key)
            return entry.value;
    return std::nullopt;
}

std::optional<ViewMode> ModeNamed(std::string_view name) { return ValueNamed(Modes, name); }

const char *ModeName(ViewMode mode) { return NameIn(Modes, mode).data(); }

std::string ModeNames() { return NamesIn(Modes, " or "); }

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
