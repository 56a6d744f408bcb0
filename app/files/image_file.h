// Image files in the format their name asks for: .png through libpng,
// .jpg and .jpeg through TurboJPEG. Any other name is refused before a run
// starts, so that no file holds bytes its name does not promise.
#ifndef TESSELIN_APP_FILES_IMAGE_FILE_H
#define TESSELIN_APP_FILES_IMAGE_FILE_H

#include "app/picture/image.h"

#include <optional>
#include <string>

namespace tesselin {

enum class ImageFormat { Png, Jpeg };

// The format a write to path produces: by the extension, whatever its
// capitals; PNG for standard output ("-") and for a device or FIFO that
// already exists. None for anything else.
std::optional<ImageFormat> FormatForPath(const std::string &path);

// Why path cannot be written as an image ("cannot write x.bmp: ..."), or
// none when it can. extra names one more accepted extension (".mpo").
std::optional<std::string> UnwritableImageName(const std::string &path, const std::string &extra = "");

// Writes image in path's format through WriteOutputFile (output_file.h):
// a failed write leaves what was at path before.
bool WriteImageFile(const std::string &path, const Image &image, std::string &error);

} // namespace tesselin

#endif
