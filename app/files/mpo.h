// Stereo JPEG files (MPO): the left eye's JPEG followed by the right eye's,
// each carrying an APP2 "MPF" segment; the first one's index says where
// both images lie. Programs that know only JPEG show the left eye.
#ifndef TESSELIN_APP_FILES_MPO_H
#define TESSELIN_APP_FILES_MPO_H

#include "app/picture/image.h"

#include <optional>
#include <string>

namespace tesselin {

inline constexpr int DefaultJpegQuality = 95;

// The whole file in memory; none with the reason in error.
std::optional<std::string> EncodeMpo(const Image &left, const Image &right, std::string &error,
                                     int quality = DefaultJpegQuality);

// Writes the file; a partly written file is removed.
bool WriteMpo(const std::string &path, const Image &left, const Image &right, std::string &error,
              int quality = DefaultJpegQuality);

} // namespace tesselin

#endif
