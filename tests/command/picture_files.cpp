#include "tests/command/picture_files.h"

#include <gif_lib.h>
#include <png.h>
#include <stb_image_write.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <random>

#include <unistd.h>

namespace fs = std::filesystem;

TestImage Quadrants(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight)
{
    TestImage image(width, height, topLeft);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            bool right = x >= width / 2, bottom = y >= height / 2;
            image.At(x, y) = bottom ? (right ? bottomRight : bottomLeft) : (right ? topRight : topLeft);
        }
    return image;
}

static std::vector<unsigned char> Channels(const TestImage &image, int channels)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(image.pixels.size() * channels);
    for (const Rgba &p : image.pixels) {
        const unsigned char all[4] = {p.r, p.g, p.b, p.a};
        bytes.insert(bytes.end(), all, all + channels);
    }
    return bytes;
}

static bool Opaque(const TestImage &image)
{
    return std::all_of(image.pixels.begin(), image.pixels.end(), [](const Rgba &p) { return p.a == 255; });
}

bool WritePng(const fs::path &path, const TestImage &image)
{
    int channels = Opaque(image) ? 3 : 4;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<unsigned char> bytes = Channels(image, channels);
    return png_image_write_to_file(&png, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

bool WriteJpeg(const fs::path &path, const TestImage &image, int quality)
{
    std::vector<unsigned char> bytes = Channels(image, 3);
    tjhandle encoder = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    bool ok = encoder && tjCompress2(encoder, bytes.data(), image.width, 0, image.height, TJPF_RGB, &jpeg, &size,
                                     TJSAMP_444, quality, 0) == 0;
    if (ok)
        ok = WriteBytes(path, std::string(reinterpret_cast<char *>(jpeg), size));
    tjFree(jpeg);
    if (encoder)
        tjDestroy(encoder);
    return ok;
}

bool WriteBmp(const fs::path &path, const TestImage &image)
{
    std::vector<unsigned char> bytes = Channels(image, 3);
    return stbi_write_bmp(path.c_str(), image.width, image.height, 3, bytes.data()) != 0;
}

bool WriteGif(const fs::path &path, const std::vector<TestImage> &frames)
{
    // Index 0 stands for transparent pixels; the colours of all frames follow.
    std::map<uint32_t, int> index;
    std::vector<GifColorType> colours{{0, 0, 0}};
    for (const TestImage &frame : frames)
        for (const Rgba &p : frame.pixels)
            if (p.a != 0 && index.emplace(p.Colour(), int(colours.size())).second)
                colours.push_back({p.r, p.g, p.b});
    if (colours.size() > 256)
        return false;
    colours.resize(256, GifColorType{0, 0, 0});
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif)
        return false;
    ColorMapObject *map = GifMakeMapObject(256, colours.data());
    bool ok = map && EGifPutScreenDesc(gif, frames[0].width, frames[0].height, 8, 0, map) == GIF_OK;
    for (const TestImage &frame : frames) {
        unsigned char control[4] = {0x01, 0, 0, 0}; // transparent index 0, no delay
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, false, nullptr) == GIF_OK;
        std::vector<GifPixelType> row(frame.width);
        for (int y = 0; ok && y < frame.height; y++) {
            for (int x = 0; x < frame.width; x++) {
                const Rgba &p = frame.At(x, y);
                row[x] = GifPixelType(p.a == 0 ? 0 : index[p.Colour()]);
            }
            ok = EGifPutLine(gif, row.data(), frame.width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool WriteBytes(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return bool(out.flush());
}

TempDir::TempDir()
{
    std::random_device random;
    path = fs::temp_directory_path() /
           ("tesselin_test_" + std::to_string(::getpid()) + "_" + std::to_string(random() % 1000000));
    fs::create_directories(path);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

WorkingDirectory::WorkingDirectory(const fs::path &path) : previous(fs::current_path())
{
    fs::current_path(path);
}

WorkingDirectory::~WorkingDirectory()
{
    std::error_code ignored;
    fs::current_path(previous, ignored);
}

Extent ExtentOf(const FakeCanvas &canvas, uint32_t colour)
{
    Extent extent{canvas.surface.width, canvas.surface.height, 0, 0, 0};
    for (int y = 0; y < canvas.surface.height; y++)
        for (int x = 0; x < canvas.surface.width; x++)
            if ((canvas.Pixel(x, y) & 0xFFFFFF) == colour) {
                extent.left = std::min(extent.left, x);
                extent.top = std::min(extent.top, y);
                extent.right = std::max(extent.right, x + 1);
                extent.bottom = std::max(extent.bottom, y + 1);
                extent.count++;
            }
    return extent.count ? extent : Extent{};
}

Extent SolidExtent(int left, int top, int right, int bottom)
{
    return Extent{left, top, right, bottom, long(right - left) * (bottom - top)};
}

bool Near(uint32_t pixel, uint32_t colour, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((pixel >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

long CountNear(const FakeCanvas &canvas, uint32_t colour, int tolerance, int left, int top, int right, int bottom)
{
    long n = 0;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++)
            n += Near(canvas.Pixel(x, y), colour, tolerance);
    return n;
}

std::ostream &operator<<(std::ostream &out, const Extent &e)
{
    return out << "(" << e.left << ", " << e.top << ", " << e.right << ", " << e.bottom << "; " << e.count << ")";
}
