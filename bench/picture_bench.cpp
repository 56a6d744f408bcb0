// Decoding and drawing a large photo: a 4000 x 3000 JPEG (made here with
// TurboJPEG from a synthetic scene with fine detail) shown fitted on an
// 800 x 600 canvas, the way `picture` draws it, plus the parts of that cost
// and a few other cases. Prints the median of several runs of each.
//
//   build/bench/picture_bench [runs]
#include "canvas/canvas.h"
#include "platform/picture.h"

#include <stb_image_resize.h>
#include <stb_image_write.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Surface {
    std::vector<uint32_t> pixels;
    TesselinSurface surface;
    Surface(int width, int height) : pixels(size_t(width) * height, 0x00FFFFFF)
    {
        surface = {TESSELIN_SURFACE_MAGIC, width, height, width, pixels.data()};
    }
    HDC dc() { return reinterpret_cast<HDC>(&surface); }
};

// A photo-like RGB scene: smooth gradients, rings and noise, so that the JPEG
// has a realistic amount of detail to decode.
std::vector<unsigned char> Scene(int width, int height)
{
    std::vector<unsigned char> rgb(size_t(width) * height * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            noise = noise * 1664525u + 1013904223u;
            double r = std::hypot(x - width * 0.4, y - height * 0.6);
            double ring = 0.5 + 0.5 * std::sin(r * 0.05);
            unsigned char *p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = static_cast<unsigned char>(255.0 * x / width * ring);
            p[1] = static_cast<unsigned char>(255.0 * y / height);
            p[2] = static_cast<unsigned char>(128 + 100 * ring - 20 + (noise >> 27));
        }
    return rgb;
}

bool WriteJpeg(const fs::path &path, const std::vector<unsigned char> &rgb, int width, int height)
{
    tjhandle encoder = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    bool ok = encoder && tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 90,
                                     0) == 0;
    if (ok) {
        FILE *file = std::fopen(path.c_str(), "wb");
        ok = file && std::fwrite(jpeg, 1, size, file) == size;
        if (file)
            std::fclose(file);
    }
    tjFree(jpeg);
    if (encoder)
        tjDestroy(encoder);
    return ok;
}

// Wall-clock and processor time of one run, in milliseconds. On a busy
// machine the processor time is the steadier of the two.
struct Timing {
    double wall, cpu;
};

Timing MedianMilliseconds(int runs, const std::function<void()> &work)
{
    std::vector<double> walls, cpus;
    for (int i = 0; i < runs; i++) {
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpuStart = std::clock();
        work();
        cpus.push_back(1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        walls.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

// The same drawing without reduced decoding: the whole JPEG decoded, then
// resampled as the loader resamples. For comparison only.
void DecodeWholeAndResample(const std::vector<unsigned char> &jpeg, int width, int height, Surface &canvas)
{
    tjhandle decoder = tjInitDecompress();
    std::vector<unsigned char> rgb(size_t(width) * height * 3), out(size_t(canvas.surface.width) * canvas.surface.height * 3);
    tjDecompress2(decoder, jpeg.data(), jpeg.size(), rgb.data(), width, 0, height, TJPF_RGB, 0);
    tjDestroy(decoder);
    stbir_resize(rgb.data(), width, height, 0, out.data(), canvas.surface.width, canvas.surface.height, 0,
                 STBIR_TYPE_UINT8, 3, STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP,
                 STBIR_FILTER_BOX, STBIR_FILTER_BOX, STBIR_COLORSPACE_SRGB, nullptr);
    for (size_t i = 0; i < canvas.pixels.size(); i++)
        canvas.pixels[i] = out[i * 3] | out[i * 3 + 1] << 8 | out[i * 3 + 2] << 16;
}

void Report(const char *what, Timing timing)
{
    std::printf("%-62s %8.1f ms %8.1f ms\n", what, timing.wall, timing.cpu);
}

}

int main(int argc, char **argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    fs::path dir = fs::temp_directory_path() / ("tesselin_picture_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const int width = 4000, height = 3000;
    std::vector<unsigned char> scene = Scene(width, height);
    fs::path jpeg = dir / "photo.jpg", png = dir / "photo.png";
    if (!WriteJpeg(jpeg, scene, width, height) ||
        !stbi_write_png(png.c_str(), width, height, 3, scene.data(), width * 3)) {
        std::fprintf(stderr, "could not write the test pictures in %s\n", dir.c_str());
        return 1;
    }
    std::printf("%d x %d JPEG of %ju bytes, PNG of %ju bytes; median of %d runs\n", width, height,
                static_cast<uintmax_t>(fs::file_size(jpeg)), static_cast<uintmax_t>(fs::file_size(png)), runs);
    std::printf("%-62s %11s %11s\n", "", "wall", "processor");

    Surface canvas(800, 600);
    RECT whole = {0, 0, 800, 600};
    auto draw = [&](const fs::path &file, double scale) {
        DrawPictureFile(canvas.dc(), &whole, 0, 0, scale, 0, file.c_str());
    };
    Report("JPEG load, decode and draw fitted into 800 x 600", MedianMilliseconds(runs, [&] { draw(jpeg, 1); }));
    std::vector<unsigned char> jpegBytes(fs::file_size(jpeg));
    if (FILE *file = std::fopen(jpeg.c_str(), "rb")) {
        jpegBytes.resize(std::fread(jpegBytes.data(), 1, jpegBytes.size(), file));
        std::fclose(file);
    }
    Report("  the same decoded at full size, for comparison", MedianMilliseconds(runs, [&] {
               DecodeWholeAndResample(jpegBytes, width, height, canvas);
           }));
    Report("JPEG drawn at scale 0.25 (200 x 150)", MedianMilliseconds(runs, [&] { draw(jpeg, 0.25); }));
    Report("JPEG drawn at scale 20 (16000 x 12000, 800 x 600 visible)",
           MedianMilliseconds(runs, [&] { draw(jpeg, 20); }));
    Report("JPEG drawn at scale 1 into 4000 x 3000 (full-size decode)", MedianMilliseconds(runs, [&] {
               Surface big(4000, 3000);
               RECT all = {0, 0, 4000, 3000};
               DrawPictureFile(big.dc(), &all, 0, 0, 1, 0, jpeg.c_str());
           }));
    Report("PNG load, decode and draw fitted into 800 x 600", MedianMilliseconds(runs, [&] { draw(png, 1); }));
    Report("JPEG load only (header)", MedianMilliseconds(runs, [&] {
               PictureObject *picture = LoadPictureFile(jpeg.c_str());
               ReleasePicture(picture);
           }));
    fs::remove_all(dir);
    return 0;
}
