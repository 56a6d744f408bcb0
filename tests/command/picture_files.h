// Picture files written at test time into a temporary directory, in the
// formats the portable loader reads, and a look at the colours drawn.
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

inline const Rgba Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Yellow{255, 255, 0}, Magenta{255, 0, 255};
inline constexpr uint32_t White = 0xFFFFFF, Black = 0x000000;

struct TestImage {
    int width = 0, height = 0;
    std::vector<Rgba> pixels;

    TestImage(int w, int h, Rgba fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgba &At(int x, int y) { return pixels[size_t(y) * width + x]; }
    const Rgba &At(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// Four solid quadrants: top left, top right, bottom left, bottom right.
TestImage Quadrants(int width, int height, Rgba topLeft, Rgba topRight, Rgba bottomLeft, Rgba bottomRight);

bool WritePng(const std::filesystem::path &path, const TestImage &image); // RGBA when any pixel is not opaque
bool WriteJpeg(const std::filesystem::path &path, const TestImage &image, int quality = 95);
bool WriteBmp(const std::filesystem::path &path, const TestImage &image);
// One frame per image; pixels with alpha 0 become the transparent index.
bool WriteGif(const std::filesystem::path &path, const std::vector<TestImage> &frames);
bool WriteBytes(const std::filesystem::path &path, const std::string &bytes);

// A fresh directory under the system's temporary one, removed with everything
// in it when the object goes.
struct TempDir {
    std::filesystem::path path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::filesystem::path operator/(const std::string &name) const { return path / name; }
};

// Changes the working directory for as long as the object lives.
struct WorkingDirectory {
    std::filesystem::path previous;
    explicit WorkingDirectory(const std::filesystem::path &path);
    ~WorkingDirectory();
};

// The smallest rectangle holding every pixel equal to colour, and their count.
struct Extent {
    int left = 0, top = 0, right = 0, bottom = 0;
    long count = 0;
    bool operator==(const Extent &) const = default;
};
Extent ExtentOf(const FakeCanvas &canvas, uint32_t colour);
// An extent that a solid rectangle of that colour fills completely.
Extent SolidExtent(int left, int top, int right, int bottom);

// Whether a pixel is within tolerance of colour in each channel.
bool Near(uint32_t pixel, uint32_t colour, int tolerance);
// Pixels in [left, right) x [top, bottom) within tolerance of colour.
long CountNear(const FakeCanvas &canvas, uint32_t colour, int tolerance, int left, int top, int right, int bottom);

std::ostream &operator<<(std::ostream &out, const Extent &extent);

#endif
