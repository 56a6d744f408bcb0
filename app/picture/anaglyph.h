// Anaglyphs composed by the host from the two eyes of a stereo pair, by a
// named method, for the glasses the viewer wears.
#ifndef TESSELIN_APP_PICTURE_ANAGLYPH_H
#define TESSELIN_APP_PICTURE_ANAGLYPH_H

#include "app/picture/image.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesselin {

enum class AnaglyphMethod {
    Script,       // what the script's own anaglyph command made
    Color,        // red from the left eye, green and blue from the right
    HalfColor,    // the left eye's grey in red, the right eye's colour in green and blue
    Gray,         // each eye's grey in its own channels
    Dubois,       // least-squares red-cyan, in linear light
    GreenMagenta, // least-squares, left eye green, right eye magenta
    AmberBlue,    // least-squares, left eye amber, right eye blue
};

std::optional<AnaglyphMethod> AnaglyphMethodNamed(std::string_view name);
std::string_view NameOf(AnaglyphMethod method);
// The names, separated by ", ", for messages.
std::string AnaglyphMethodNames();

// The anaglyph of left and right by method (not Script), as large as the
// area both cover.
Image ComposeAnaglyphImage(const Image &left, const Image &right, AnaglyphMethod method);

} // namespace tesselin

#endif
