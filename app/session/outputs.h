// What a run writes when it ends, and the one way its pictures reach a file.
// Session's writing methods (WriteOutputs and the Write* for each picture)
// live beside this header, in outputs.cpp.
#ifndef TESSELIN_APP_SESSION_OUTPUTS_H
#define TESSELIN_APP_SESSION_OUTPUTS_H

#include "app/picture/image.h"

#include <functional>
#include <string>

namespace tesselin {

// What a run writes when it ends; empty paths are not written.
struct Outputs {
    std::string window, right, sideBySide;
    std::string pair; // both eyes in the chosen layout; a stereo JPEG when it ends in .mpo
};

// Writes the PNG of the image that image() makes; an allocation failure on
// the way is a failed write like any other.
bool WriteImage(const std::string &path, const std::function<Image()> &image, std::string &error);

} // namespace tesselin

#endif
