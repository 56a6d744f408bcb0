#include "tests/command/picture_files.h"

#include <gif_lib.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

#include <unistd.h>

namespace fs = std::filesystem;

TestImage Quadrants(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight)
{
    TestImage image(width, height, topLeft);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            image.At(x, y) = y < height / 2 ? (x < width / 2 ? topLeft : topRight)
                                             : (x < width / 2 ? bottomLeft : bottomRight);
    return image;
}

static bool WriteGif(const fs::path &path, const std::vector<TestImage> &frames)
{
    std::map<uint32_t, int> index; // index 0 stands for transparent pixels
    std::vector<GifColorType> colours(1);
    for (const TestImage &frame : frames)
        for (const Rgba &p : frame.pixels)
            if (p.a != 0 && index.emplace(p.Colour(), int(colours.size())).second)
                colours.push_back({p.r, p.g, p.b});
    colours.resize(256);
    int error = 0;
    GifFileType *gif = EGifOpenFileName(path.c_str(), false, &error);
    ColorMapObject *map = GifMakeMapObject(256, colours.data());
    bool ok = gif && map && EGifPutScreenDesc(gif, frames[0].width, frames[0].height, 8, 0, map) == GIF_OK;
    for (const TestImage &frame : frames) {
        unsigned char control[4] = {0x01, 0, 0, 0}; // transparent index 0
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, false, nullptr) == GIF_OK;
        std::vector<GifPixelType> row(frame.width);
        for (int y = 0; ok && y < frame.height; y++) {
            for (int x = 0; x < frame.width; x++) {
                const Rgba &p = frame.pixels[size_t(y) * frame.width + x];
                row[x] = GifPixelType(p.a == 0 ? 0 : index[p.Colour()]);
            }
            ok = EGifPutLine(gif, row.data(), frame.width) == GIF_OK;
        }
    }
    GifFreeMapObject(map);
    return gif && EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool WritePicture(const fs::path &path, const std::vector<TestImage> &frames)
{
    const TestImage &image = frames[0];
    std::string kind = path.extension().string();
    if (kind == ".gif")
        return WriteGif(path, frames);
    bool alpha = kind == ".png" &&
                 std::any_of(image.pixels.begin(), image.pixels.end(), [](const Rgba &p) { return p.a != 255; });
    int channels = alpha ? 4 : 3;
    std::vector<unsigned char> bytes;
    for (const Rgba &p : image.pixels) {
        const unsigned char all[4] = {p.r, p.g, p.b, p.a};
        bytes.insert(bytes.end(), all, all + channels);
    }
    const char *name = path.c_str();
    if (kind == ".png")
        return stbi_write_png(name, image.width, image.height, channels, bytes.data(), image.width * channels);
    if (kind == ".jpg")
        return stbi_write_jpg(name, image.width, image.height, 3, bytes.data(), 95);
    return kind == ".bmp" && stbi_write_bmp(name, image.width, image.height, 3, bytes.data());
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

long CountNear(const FakeCanvas &canvas, uint32_t colour, int tolerance, int left, int top, int right, int bottom)
{
    long n = 0;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++) {
            bool near = true;
            for (int shift = 0; shift < 24; shift += 8)
                near = near && std::abs(int(canvas.Pixel(x, y) >> shift & 0xFF) - int(colour >> shift & 0xFF)) <=
                                   tolerance;
            n += near;
        }
    return n;
}

// 24 bits per pixel, rows padded to four bytes, BITMAPINFOHEADER; a top-down
// file stores its first row first and says so with a negative height.
std::string EncodeBmp(const TestImage &image, bool topDown)
{
    const uint32_t stride = (uint32_t(image.width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = stride * uint32_t(image.height), offset = 54;
    std::string bytes;
    auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; i++)
            bytes += char((value >> (8 * i)) & 0xFF);
    };
    bytes += "BM";
    put(offset + pixelBytes, 4);
    put(0, 4);
    put(offset, 4);
    put(40, 4);
    put(uint32_t(image.width), 4);
    put(uint32_t(topDown ? -image.height : image.height), 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(pixelBytes, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (int row = 0; row < image.height; row++) {
        int y = topDown ? row : image.height - 1 - row;
        for (int x = 0; x < image.width; x++) {
            const Rgba &p = image.pixels[size_t(y) * image.width + x];
            bytes += char(p.b);
            bytes += char(p.g);
            bytes += char(p.r);
        }
        bytes.append(stride - uint32_t(image.width) * 3, '\0');
    }
    return bytes;
}

bool WriteBytes(const fs::path &path, const std::string &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
