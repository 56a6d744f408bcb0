// The one picture a stereo pair is shown as, by the output options: the
// script's own anaglyph, one composed by a method, or the pair arranged in a
// layout; eyes swapped when asked. A plain function over images, for every
// place that shows or writes a pair.
#ifndef TESSELIN_APP_PICTURE_STEREO_PAIR_H
#define TESSELIN_APP_PICTURE_STEREO_PAIR_H

#include "app/picture/anaglyph.h"
#include "app/picture/image.h"
#include "app/picture/layout.h"

#include <optional>

namespace tesselin {

struct StereoLook {
    AnaglyphMethod anaglyph = AnaglyphMethod::Script;
    bool swapEyes = false;
    std::optional<StereoLayout> layout; // used where arranging is asked for
};

// The eyes in the order the look shows them: exchanged for --swap-eyes.
void OrderEyes(Image &left, Image &right, const StereoLook &look);

// left and right are the eyes as drawn. With arrange and a layout, the pair
// so arranged; else the anaglyph by the look's method; for the script's
// method, its colours applied to the (maybe swapped) eyes, or without them
// the left eye as drawn (what the canvas window shows before an anaglyph).
Image StereoPicture(Image left, Image right, const StereoLook &look, bool arrange,
                    const std::optional<ScriptColours> &script);

// The two eyes next to each other, left eye on the left, the shorter padded
// with white at the bottom: the parallel layout, swapped when the look says.
Image SideBySidePicture(Image left, Image right, const StereoLook &look);

} // namespace tesselin

#endif
