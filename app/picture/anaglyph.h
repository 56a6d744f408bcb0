// Anaglyphs composed by the host from the two eyes of a stereo pair, by a
// named method, for the glasses the viewer wears.
#ifndef TESSELIN_APP_PICTURE_ANAGLYPH_H
#define TESSELIN_APP_PICTURE_ANAGLYPH_H

#include "app/picture/image.h"

#include <cstddef>
#include <cstdint>
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

// The colours of the script's anaglyph command, 0x00BBGGRR: how much of each
// channel of each eye goes into the picture.
struct ScriptColours {
    uint32_t left = 0, right = 0;
    friend bool operator==(const ScriptColours &, const ScriptColours &) = default;
};

// Red for the left eye, cyan for the right: what the live window shows as an
// anaglyph when the script made none of its own.
inline constexpr ScriptColours RedCyanColours{0x000000FFu, 0x00FFFF00u};

// Rows of pixels as a canvas or an image holds them: stride pixels from the
// start of one row to the next.
struct PixelRows {
    uint32_t *pixels;
    std::size_t stride;
};
struct ConstPixelRows {
    const uint32_t *pixels;
    std::size_t stride;
};

// The script's anaglyph, in place: every pixel of the width x height area of
// left becomes, channel by channel, left x colours.left + right x
// colours.right (colour channels as fractions of 255), rounded to the nearest
// and clamped to 255.
void ApplyScriptColours(PixelRows left, ConstPixelRows right, int width, int height, const ScriptColours &colours);

// The same for images: left with the area both cover so mixed.
Image ScriptAnaglyphImage(Image left, const Image &right, const ScriptColours &colours);

} // namespace tesselin

#endif
