#include "app/files/image_file.h"

#include "app/process/output_file.h"
#include "app/files/png.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

namespace tesselin {

namespace {

constexpr int JpegQuality = 92;

// Standard output, a device or a FIFO: written in place as the stream it is,
// whatever it is called.
bool SpecialTarget(const std::string &path)
{
    std::error_code status;
    auto kind = std::filesystem::status(path, status).type();
    return path == "-" || kind == std::filesystem::file_type::character || kind == std::filesystem::file_type::block ||
           kind == std::filesystem::file_type::fifo || kind == std::filesystem::file_type::socket;
}

bool WriteJpeg(const std::string &path, const Image &image, std::string &error)
{
    if (image.Empty()) {
        error = "cannot write " + path + ": the image is empty";
        return false;
    }
    std::unique_ptr<void, int (*)(tjhandle)> handle{tjInitCompress(), tjDestroy};
    if (!handle) {
        error = "cannot write " + path + ": the JPEG library could not start";
        return false;
    }
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    // Canvas pixels are 0x00BBGGRR: red, green, blue, unused in memory.
    if (tjCompress2(handle.get(), reinterpret_cast<const unsigned char *>(image.pixels.data()), image.width,
                    image.width * 4, image.height, TJPF_RGBX, &buffer, &size, TJSAMP_444, JpegQuality,
                    TJFLAG_ACCURATEDCT) != 0) {
        error = "cannot write " + path + ": JPEG encoding failed: " + tjGetErrorStr2(handle.get());
        tjFree(buffer);
        return false;
    }
    std::unique_ptr<unsigned char, void (*)(unsigned char *)> encoded{buffer, tjFree};
    auto fill = [&](std::FILE *file, std::string &reason) {
        if (std::fwrite(encoded.get(), 1, size, file) == size)
            return true;
        reason = "the write failed";
        return false;
    };
    return WriteOutputFile(path, fill, error);
}

} // namespace

std::optional<ImageFormat> FormatForPath(const std::string &path)
{
    std::string extension = LowerExtension(path);
    if (extension == ".png")
        return ImageFormat::Png;
    if (extension == ".jpg" || extension == ".jpeg")
        return ImageFormat::Jpeg;
    if (SpecialTarget(path))
        return ImageFormat::Png;
    return std::nullopt;
}

std::optional<std::string> UnwritableImageName(const std::string &path, const std::string &extra)
{
    // A folder is left to the write, which says that it is one.
    std::error_code status;
    if (path.empty() || FormatForPath(path) || (!extra.empty() && LowerExtension(path) == extra) ||
        std::filesystem::is_directory(path, status))
        return std::nullopt;
    std::string extension = LowerExtension(path);
    std::string accepted = extra.empty() ? ".png, .jpg or .jpeg" : ".png, .jpg, .jpeg or " + extra;
    return "cannot write " + path + ": " +
           (extension.empty() ? std::string("the name has no extension") : "\"" + extension + "\" is no image format tesselin writes") +
           "; name it " + accepted;
}

bool WriteImageFile(const std::string &path, const Image &image, std::string &error)
{
    if (auto refused = UnwritableImageName(path)) {
        error = *refused;
        return false;
    }
    if (FormatForPath(path) == ImageFormat::Jpeg)
        return WriteJpeg(path, image, error);
    return WritePng(path, image, error);
}

} // namespace tesselin
