// Large PNGs drawn small are decoded row by row into a reduced copy: every
// colour type and depth comes out right, interlaced files still draw (whole),
// and a picture far larger than memory allows draws when it is drawn small.
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <png.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <malloc.h>

namespace {

struct PngForm {
    const char *name;
    int colourType, bitDepth;
    bool interlaced;
};

// Writes the image in the given form; grey forms take the red channel.
bool WritePng(const std::string &path, const TestImage &image, const PngForm &form)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, form.bitDepth, form.colourType,
                 form.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (form.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (const Rgba &c : {Red, Green, Blue, Yellow})
            palette.push_back({c.r, c.g, c.b});
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    }
    png_write_info(png, info);
    if (form.bitDepth < 8)
        png_set_packing(png);
    if (form.bitDepth == 16)
        png_set_swap(png); // rows below are little-endian samples
    int samples = form.colourType == PNG_COLOR_TYPE_RGB ? 3 : form.colourType == PNG_COLOR_TYPE_RGBA ? 4 : 1;
    int bytes = form.bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<png_byte>> rows(image.height, std::vector<png_byte>(size_t(image.width) * samples * bytes));
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            const Rgba &p = image.pixels[size_t(y) * image.width + x];
            png_byte values[4] = {p.r, p.g, p.b, p.a};
            if (form.colourType == PNG_COLOR_TYPE_PALETTE)
                values[0] = png_byte(p.Colour() == Red.Colour() ? 0 : p.Colour() == Green.Colour() ? 1
                                                                 : p.Colour() == Blue.Colour()  ? 2
                                                                                                : 3);
            else if (form.colourType == PNG_COLOR_TYPE_GRAY && form.bitDepth == 1)
                values[0] = p.r ? 1 : 0;
            for (int s = 0; s < samples; s++)
                for (int b = 0; b < bytes; b++)
                    rows[y][(size_t(x) * samples + s) * bytes + b] = values[s];
        }
    std::vector<png_bytep> pointers;
    for (auto &row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

class PngRows : public PluginTest {
protected:
    TempDir dir;
    FakeCanvas &Left() { return *host.CanvasOf(LeftCanvas); }
};

TEST_F(PngRows, EveryFormDrawnSmallShowsItsQuadrants)
{
    const PngForm forms[] = {
        {"rgb8", PNG_COLOR_TYPE_RGB, 8, false},     {"rgba8", PNG_COLOR_TYPE_RGBA, 8, false},
        {"rgb16", PNG_COLOR_TYPE_RGB, 16, false},   {"palette", PNG_COLOR_TYPE_PALETTE, 8, false},
        {"grey1", PNG_COLOR_TYPE_GRAY, 1, false},   {"grey8", PNG_COLOR_TYPE_GRAY, 8, false},
        {"interlaced", PNG_COLOR_TYPE_RGB, 8, true}, {"interlaced-palette", PNG_COLOR_TYPE_PALETTE, 8, true},
    };
    Load();
    const Rgba White8{255, 255, 255}, Black8{0, 0, 0};
    for (const PngForm &form : forms) {
        bool grey = form.colourType == PNG_COLOR_TYPE_GRAY;
        TestImage image = grey ? Quadrants(400, 300, White8, Black8, Black8, White8)
                               : Quadrants(400, 300, Red, Green, Blue, Yellow);
        std::string path = dir / (std::string(form.name) + ".png");
        ASSERT_TRUE(WritePng(path, image, form)) << form.name;
        ASSERT_EQ(Run("canvas 40 30"), "");
        EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "") << form.name;
        // Each quadrant's colour, away from the edges between them.
        const Rgba &topLeft = image.At(0, 0), &topRight = image.At(399, 0);
        const Rgba &bottomLeft = image.At(0, 299), &bottomRight = image.At(399, 299);
        EXPECT_EQ(CountNear(Left(), topLeft.Colour(), 6, 0, 0, 18, 13), 18 * 13) << form.name;
        EXPECT_EQ(CountNear(Left(), topRight.Colour(), 6, 22, 0, 40, 13), 18 * 13) << form.name;
        EXPECT_EQ(CountNear(Left(), bottomLeft.Colour(), 6, 0, 17, 18, 30), 18 * 13) << form.name;
        EXPECT_EQ(CountNear(Left(), bottomRight.Colour(), 6, 22, 17, 40, 30), 18 * 13) << form.name;
    }
}

TEST_F(PngRows, ReducedHalfTransparentPictureBlendsAsItsCoverage)
{
    // Every other column clear: reduced, each pixel is pure red at half
    // coverage (clear pixels lend no colour), which over the white canvas
    // blends to (255, 127, 127).
    TestImage image(300, 200, Red);
    for (int y = 0; y < image.height; y++)
        for (int x = 1; x < image.width; x += 2)
            image.At(x, y).a = 0;
    Load();
    std::string path = dir / "stripes.png";
    ASSERT_TRUE(WritePicture(path, image));
    ASSERT_EQ(Run("canvas 30 20"), "");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
    EXPECT_EQ(CountNear(Left(), 0x7F7FFF, 2, 1, 1, 29, 19), 28 * 18) << std::hex << Left().Pixel(15, 10);
}

#if !defined(__SANITIZE_ADDRESS__)
// A real PNG of 16000 x 16000 pixels, 31 KB of one-bit grey, would take 768 MB
// decoded whole; drawn into 800 x 600 it must draw within a quarter of that.
TEST_F(PngRows, AHugePictureDrawnSmallDrawsWithinAFractionOfItsFullSize)
{
    std::string path = dir / "huge.png";
    {
        // Written row by row: the picture itself would not fit this test either.
        std::FILE *file = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, file);
        png_set_compression_level(png, 9);
        png_set_IHDR(png, info, 16000, 16000, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<png_byte> row(2000, 0);
        for (int y = 0; y < 16000; y++)
            png_write_row(png, row.data());
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
    }
    Load();
    ASSERT_EQ(Run("canvas 800 600"), "");
    EXPECT_EXIT(
        {
            malloc_trim(0);
            mallopt(M_MMAP_THRESHOLD, 64 * 1024);
            long pages = 0;
            std::ifstream("/proc/self/statm") >> pages;
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (192u << 20);
            setrlimit(RLIMIT_AS, &limit);
            Command("picture l 0 0 1 abs " + path);
            std::fprintf(stderr, "[%ld]\n", Left().Count(0x000000));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "\\[360000\\]");
}
#endif

}
