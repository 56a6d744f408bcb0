// Room files/ (floor 2): file formats written from images, one file each:
// PNG, MPO, the animation writers (GIF, WebP, MP4 through ffmpeg), and the
// clipboard. May include picture/ and process/.
//
// PNG files of canvas images, through libpng.
#ifndef TESSELIN_APP_FILES_PNG_H
#define TESSELIN_APP_FILES_PNG_H

#include "app/picture/image.h"

#include <optional>
#include <string>

namespace tesselin {

// zlib level used unless a caller asks otherwise. With one row filter it
// encodes an 800 x 600 render about five times faster than libpng's default
// (level 6, adaptive filtering) for files about half as large again.
inline constexpr int DefaultPngLevel = 1;

// Writes image as an 8-bit RGB PNG through WriteOutputFile (process/output_file.h):
// a failed write leaves what was at path before. An empty image, or a file
// that cannot be written completely, is a failure with the reason in error.
bool WritePng(const std::string &path, const Image &image, std::string &error, int level = DefaultPngLevel);

// Encodes into memory (for the clipboard).
std::optional<std::string> EncodePng(const Image &image, std::string &error, int level = DefaultPngLevel);

// Reads any PNG into canvas pixels; none with the reason in error.
std::optional<Image> ReadPng(const std::string &path, std::string &error);

} // namespace tesselin

#endif
