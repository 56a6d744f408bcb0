// Which picture the live window shows: the canvas window as the host
// composed it, either eye, an anaglyph, or both eyes side by side.
#ifndef TESSELIN_APP_VIEW_VIEW_MODE_H
#define TESSELIN_APP_VIEW_VIEW_MODE_H

#include "app/picture/image.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesselin {

enum class ViewMode { Window, Left, Right, Anaglyph, SideBySide };

// The mode a key selects, or none for another key.
std::optional<ViewMode> ModeForKey(char key);
// The mode named on the command line ("window", "left", "right",
// "anaglyph", "side-by-side"), or none.
std::optional<ViewMode> ModeNamed(std::string_view name);
const char *ModeName(ViewMode mode);
// The names, for messages: "window, left, ... or side-by-side".
std::string ModeNames();

// What a finished run left to look at.
struct RunPictures {
    Image window;             // what the canvas window shows
    std::optional<Image> left; // the left eye before any anaglyph replaced it
    std::optional<Image> right; // the right canvas of a stereo pair
};

// The picture mode shows, or none with the reason in why (a mode that
// needs a stereo pair, for a run without one).
std::optional<Image> PictureFor(ViewMode mode, const RunPictures &pictures, std::string &why);

} // namespace tesselin

#endif
