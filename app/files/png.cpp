#include "app/files/png.h"
#include "app/process/output_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tesselin {

namespace {

// libpng reports faults through longjmp; the writer keeps everything that
// needs freeing outside the jump's reach.
class PngWriter {
public:
    PngWriter() { png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning); }
    ~PngWriter() { png_destroy_write_struct(&png_, info_ ? &info_ : nullptr); }
    PngWriter(const PngWriter &) = delete;
    PngWriter &operator=(const PngWriter &) = delete;

    // Encodes image with the given sink; false with message set on failure.
    bool Write(const Image &image, int level, png_rw_ptr write, png_flush_ptr flush, void *sink)
    {
        if (!png_ || !(info_ = png_create_info_struct(png_))) {
            message_ = "out of memory";
            return false;
        }
        std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
        for (int y = 0; y < image.height; y++)
            rows[y] = reinterpret_cast<png_bytep>(const_cast<uint32_t *>(&image.pixels[std::size_t(y) * image.width]));
        if (setjmp(png_jmpbuf(png_)))
            return false;
        png_set_write_fn(png_, sink, write, flush);
        png_set_compression_level(png_, level);
        // At the fast levels trying every row filter costs more time than it
        // saves bytes; the "up" filter alone keeps most of the gain.
        if (level <= 2)
            png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
        png_set_IHDR(png_, info_, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png_, info_);
        // Pixels are R, G, B, 0 in memory: drop the fourth byte.
        png_set_filler(png_, 0, PNG_FILLER_AFTER);
        png_write_image(png_, rows.data());
        png_write_end(png_, nullptr);
        return true;
    }
    const std::string &Message() const { return message_; }

private:
    static void OnError(png_structp png, png_const_charp text)
    {
        auto self = static_cast<PngWriter *>(png_get_error_ptr(png));
        if (self->message_.empty())
            self->message_ = text;
        png_longjmp(png, 1);
    }
    static void OnWarning(png_structp, png_const_charp) {}

    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    std::string message_;
};

struct FileSink {
    std::FILE *file;
    int error = 0;
};

void WriteToFile(png_structp png, png_bytep data, png_size_t length)
{
    auto sink = static_cast<FileSink *>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, sink->file) != length) {
        sink->error = errno ? errno : EIO;
        png_error(png, std::strerror(sink->error));
    }
}
void FlushFile(png_structp png) { std::fflush(static_cast<FileSink *>(png_get_io_ptr(png))->file); }

void WriteToString(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), length);
}
void FlushNothing(png_structp) {}

bool CheckSize(const Image &image, std::string &error)
{
    if (image.Empty() || image.pixels.size() < static_cast<std::size_t>(image.width) * image.height) {
        error = "there is no image to write (no canvas)";
        return false;
    }
    return true;
}

} // namespace

bool WritePng(const std::string &path, const Image &image, std::string &error, int level)
{
    if (!CheckSize(image, error))
        return false;
    auto encode = [&](std::FILE *file, std::string &reason) {
        FileSink sink{file};
        PngWriter writer;
        if (writer.Write(image, level, WriteToFile, FlushFile, &sink))
            return true;
        reason = writer.Message();
        return false;
    };
    return WriteOutputFile(path, encode, error);
}

std::optional<std::string> EncodePng(const Image &image, std::string &error, int level)
{
    if (!CheckSize(image, error))
        return std::nullopt;
    std::string bytes;
    PngWriter writer;
    if (!writer.Write(image, level, WriteToString, FlushNothing, &bytes)) {
        error = "cannot encode the image: " + writer.Message();
        return std::nullopt;
    }
    return bytes;
}

std::optional<Image> ReadPng(const std::string &path, std::string &error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = "cannot read " + path + ": " + png.message;
        return std::nullopt;
    }
    png.format = PNG_FORMAT_RGBA;
    Image image(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
        error = "cannot read " + path + ": " + png.message;
        png_image_free(&png);
        return std::nullopt;
    }
    for (uint32_t &pixel : image.pixels)
        pixel &= 0x00FFFFFFu; // R, G, B, A bytes: keep R, G, B
    return image;
}

} // namespace tesselin
