// The two eyes of a stereo pair arranged in one picture, in the forms that
// free viewing, stereo viewers, 3D televisions and headsets take.
#ifndef TESSELIN_APP_PICTURE_LAYOUT_H
#define TESSELIN_APP_PICTURE_LAYOUT_H

#include "app/picture/image.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesselin {

enum class StereoLayout {
    Parallel,   // left eye on the left, full size (what --side-by-side writes)
    CrossEyed,  // right eye on the left, full size
    OverUnder,  // left eye above the right, full size
    HalfWidth,  // parallel, each eye squeezed to half its width
    HalfHeight, // over-under, each eye squeezed to half its height
};

std::optional<StereoLayout> StereoLayoutNamed(std::string_view name);
std::string_view NameOf(StereoLayout layout);
std::string StereoLayoutNames();

// Both eyes in one picture. The full-size forms pad the smaller eye with
// white; the half forms are as large as one eye (the left's size), each eye
// squeezed by averaging in linear light.
Image ArrangePair(const Image &left, const Image &right, StereoLayout layout);

// image resized to width x height by area averaging in linear light (for
// reductions; enlarging repeats pixels).
Image Squeezed(const Image &image, int width, int height);

} // namespace tesselin

#endif
