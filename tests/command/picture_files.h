// Picture files written at test time, in the formats the portable loader
// reads, and the look at the canvases that the picture tests share.
#ifndef TESSELIN_TEST_PICTURE_FILES_H
#define TESSELIN_TEST_PICTURE_FILES_H

#include "tests/doubles/recording_host.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r, g, b, a = 255;
    uint32_t Colour() const { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }
};
inline const Rgba Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Yellow{255, 255, 0};
inline constexpr uint32_t White = 0xFFFFFF, Black = 0x000000;

struct TestImage {
    int width, height;
    std::vector<Rgba> pixels;
    TestImage(int w, int h, Rgba fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgba &At(int x, int y) { return pixels[size_t(y) * width + x]; }
};
// Four solid quadrants: top left, top right, bottom left, bottom right.
TestImage Quadrants(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight);

// Writes the picture in the format its extension names: .png (with alpha when
// a pixel has any), .jpg (quality 95, no chroma subsampling), .bmp or .gif
// (one frame per image; alpha 0 becomes the transparent index).
bool WritePicture(const std::filesystem::path &path, const std::vector<TestImage> &frames);
inline bool WritePicture(const std::filesystem::path &path, const TestImage &image)
{
    return WritePicture(path, std::vector<TestImage>{image});
}

// A 24-bit BMP of the image, stored bottom-up (the usual order) or top-down.
std::string EncodeBmp(const TestImage &image, bool topDown);
bool WriteBytes(const std::filesystem::path &path, const std::string &bytes);

// A fresh temporary directory, removed with its contents at the end.
struct TempDir {
    std::filesystem::path path;
    TempDir();
    ~TempDir();
    std::string operator/(const std::string &name) const { return (path / name).string(); }
};

// Changes the working directory for as long as the object lives.
struct WorkingDirectory {
    std::filesystem::path previous;
    explicit WorkingDirectory(const std::filesystem::path &path);
    ~WorkingDirectory();
};

// Pixels of [left, right) x [top, bottom) within tolerance of colour in every
// channel.
long CountNear(const FakeCanvas &canvas, uint32_t colour, int tolerance, int left, int top, int right, int bottom);

#endif
