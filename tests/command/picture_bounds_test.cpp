// Pictures whose header declares more than the file holds are refused before
// any pixel is decoded, and a top-down BMP shows upright like a bottom-up one.
#include "platform/portable/picture_bounds.h"
#include "tests/command/picture_files.h"
#include "tests/doubles/plugin_fixture.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

void PutLittle(Bytes &bytes, size_t at, uint32_t value, int size)
{
    for (int i = 0; i < size; i++)
        bytes[at + i] = char((value >> (8 * i)) & 0xFF);
}

// A BMP of the given header values whose rows are cut to `rowBytes` bytes.
Bytes BmpDeclaring(int32_t width, int32_t height, uint16_t bits, size_t rowBytes)
{
    Bytes bytes = EncodeBmp(TestImage(1, 1, Red), false).substr(0, 54);
    PutLittle(bytes, 18, uint32_t(width), 4);
    PutLittle(bytes, 22, uint32_t(height), 4);
    PutLittle(bytes, 28, bits, 2);
    return bytes + Bytes(rowBytes, '\x40');
}

// A GIF whose screen and only frame are width x height, with `dataBytes` bytes
// of LZW data in sub-blocks.
Bytes GifDeclaring(uint16_t width, uint16_t height, size_t dataBytes)
{
    Bytes bytes = "GIF89a";
    bytes += Bytes(7, '\0');
    PutLittle(bytes, 6, width, 2);
    PutLittle(bytes, 8, height, 2);
    bytes[10] = char(0x80); // a global table of two colours
    bytes += Bytes("\xff\x00\x00\x00\x00\xff", 6);
    bytes += ",";
    size_t at = bytes.size();
    bytes += Bytes(9, '\0');
    PutLittle(bytes, at + 4, width, 2);
    PutLittle(bytes, at + 6, height, 2);
    bytes += '\x02';
    for (size_t left = dataBytes; left > 0;) {
        size_t n = std::min<size_t>(left, 255);
        bytes += char(n);
        bytes += Bytes(n, '\x55');
        left -= n;
    }
    return bytes + Bytes("\x00;", 2);
}

// A real one-bit grey PNG, all black, compressed as far as zlib goes.
Bytes PngOfZeros(uint32_t width, uint32_t height)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    Bytes bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes, [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<Bytes *>(png_get_io_ptr(p))->append(reinterpret_cast<const char *>(data), n);
        },
        nullptr);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((width + 7) / 8, 0);
    for (uint32_t y = 0; y < height; y++)
        png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

Bytes ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A real JPEG whose frame header is made to declare another size (and,
// with marker, another coding process).
Bytes JpegDeclaring(const TempDir &dir, uint16_t width, uint16_t height, unsigned char marker = 0xC0)
{
    std::string path = dir / "base.jpg";
    EXPECT_TRUE(WritePicture(path, TestImage(16, 16, Red)));
    Bytes bytes = ReadAll(path);
    for (size_t at = 2; at + 9 <= bytes.size() && uint8_t(bytes[at]) == 0xFF;) {
        uint8_t m = uint8_t(bytes[at + 1]);
        if (m == 0xC0 || m == 0xC1 || m == 0xC2) {
            bytes[at + 1] = char(marker);
            bytes[at + 5] = char(height >> 8), bytes[at + 6] = char(height & 0xFF);
            bytes[at + 7] = char(width >> 8), bytes[at + 8] = char(width & 0xFF);
            return bytes;
        }
        at += 2 + (size_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]));
    }
    ADD_FAILURE() << "no frame header";
    return bytes;
}

bool BmpFits(const Bytes &bytes)
{
    int32_t w = 0, h = 0;
    return BmpSizeWithinFile(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), &w, &h);
}

TEST(PictureBounds, BmpRowsMustBeInTheFile)
{
    struct Case {
        int32_t width, height;
        uint16_t bits;
        size_t rowBytes;
        bool fits;
    } cases[] = {
        {4, 3, 24, 36, true},                  // rows of 12 bytes
        {4, -3, 24, 36, true},                 // top-down
        {5, 3, 24, 47, true},                  // rows padded to 16; the last row's padding may be missing
        {5, 3, 24, 46, false},                 // a pixel short
        {16000, 16000, 24, 64, false},         // the 118-byte header declaring 16000 squared
        {16000, -16000, 24, 64, false},
        {8, 2, 1, 5, true},                    // one-bit rows take four bytes
        {0, 3, 24, 100, false},
        {4, 0, 24, 100, false},
        {-4, 3, 24, 100, false},
        {4, INT32_MIN, 24, 100, false},
        {4, 3, 0, 100, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BmpFits(BmpDeclaring(c.width, c.height, c.bits, c.rowBytes)), c.fits)
            << c.width << " x " << c.height << " at " << c.bits << " bits in " << c.rowBytes << " bytes";

    int32_t w = 0, h = 0;
    Bytes topDown = BmpDeclaring(7, -5, 24, 5 * 24);
    ASSERT_TRUE(BmpSizeWithinFile(reinterpret_cast<const unsigned char *>(topDown.data()), topDown.size(), &w, &h));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 5) << "the size is upright";
}

TEST(PictureBounds, GifScreenWithinWhatItsCodesCanDescribe)
{
    auto fits = [](const Bytes &b) {
        return GifScreenWithinFile(reinterpret_cast<const unsigned char *>(b.data()), b.size());
    };
    EXPECT_FALSE(fits(GifDeclaring(16000, 16000, 760))) << "the 810-byte GIF of 16000 squared";
    EXPECT_TRUE(fits(GifDeclaring(16000, 16000, 95000))) << "enough codes for a plain screen that large";
    EXPECT_TRUE(fits(GifDeclaring(640, 480, 120)));
    EXPECT_FALSE(fits(GifDeclaring(640, 480, 60)));
}

TEST(PictureBounds, PngWithinWhatItsBytesCanInflateTo)
{
    auto fits = [](const Bytes &b) {
        return PngSizeWithinFile(reinterpret_cast<const unsigned char *>(b.data()), b.size());
    };
    Bytes zeros = PngOfZeros(16000, 16000);
    EXPECT_TRUE(fits(zeros)) << "a real file of that size, " << zeros.size() << " bytes";
    EXPECT_FALSE(fits(zeros.substr(0, zeros.size() / 4))) << "the same file cut to a quarter";
    Bytes small = PngOfZeros(10, 10);
    EXPECT_TRUE(fits(small));
}

TEST(PictureBounds, HuffmanJpegWithinOneBitPerBlock)
{
    TempDir dir;
    auto fits = [](const Bytes &b) {
        return JpegSizeWithinFile(reinterpret_cast<const unsigned char *>(b.data()), b.size());
    };
    EXPECT_TRUE(fits(JpegDeclaring(dir, 16, 16)));
    EXPECT_TRUE(fits(JpegDeclaring(dir, 300, 300))) << "a few hundred bytes can describe this many blocks";
    EXPECT_FALSE(fits(JpegDeclaring(dir, 65000, 65000)));
    EXPECT_FALSE(fits(JpegDeclaring(dir, 65000, 65000, 0xC2))) << "progressive";
    EXPECT_TRUE(fits(JpegDeclaring(dir, 65000, 65000, 0xC9))) << "arithmetic coding has no floor";
    EXPECT_FALSE(fits(Bytes("\xff\xd8\xff\xd9", 4))) << "no frame";
}

class DeclaredSizes : public PluginTest {
protected:
    TempDir dir;
    FakeCanvas &Left() { return *host.CanvasOf(LeftCanvas); }
};

TEST_F(DeclaredSizes, FilesTooShortForTheirSizeDrawNothingAndCostNothing)
{
    Load();
    ASSERT_EQ(Run("canvas 80 60"), "");
    Bytes png = PngOfZeros(16000, 16000);
    Bytes bmp = EncodeBmp(TestImage(64, 48, Red), false);
    const std::pair<const char *, Bytes> files[] = {
        {"huge.bmp", BmpDeclaring(16000, 16000, 24, 64)},
        {"cut.bmp", bmp.substr(0, bmp.size() / 2)},
        {"huge.gif", GifDeclaring(16000, 16000, 760)},
        {"cut.png", png.substr(0, png.size() / 4)},
        {"huge.jpg", JpegDeclaring(dir, 65000, 65000)},
    };
    for (const auto &[name, bytes] : files) {
        ASSERT_TRUE(WriteBytes(dir / name, bytes));
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run("picture l 0 0 1 abs " + dir / name), "") << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << name;
        EXPECT_EQ(Left().Count(White), 80 * 60) << name << " drew on the canvas";
    }
}

TEST_F(DeclaredSizes, TopDownBmpShowsUprightAsABottomUpOne)
{
    Load();
    // At its own size, and drawn at a tenth of it (decoded reduced).
    for (int scale : {1, 10}) {
        for (bool topDown : {false, true}) {
            TestImage quadrants = Quadrants(40 * scale, 30 * scale, Red, Green, Blue, Yellow);
            ASSERT_EQ(Run("canvas 40 30"), "");
            std::string path = dir / (topDown ? "topdown.bmp" : "bottomup.bmp");
            ASSERT_TRUE(WriteBytes(path, EncodeBmp(quadrants, topDown)));
            EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
            std::string what = std::string(topDown ? "top-down" : "bottom-up") + " at 1/" + std::to_string(scale);
            EXPECT_EQ(CountNear(Left(), Red.Colour(), 8, 0, 0, 20, 15), 20 * 15) << what;
            EXPECT_EQ(CountNear(Left(), Green.Colour(), 8, 20, 0, 40, 15), 20 * 15) << what;
            EXPECT_EQ(CountNear(Left(), Blue.Colour(), 8, 0, 15, 20, 30), 20 * 15) << what;
            EXPECT_EQ(CountNear(Left(), Yellow.Colour(), 8, 20, 15, 40, 30), 20 * 15) << what;
        }
    }
}

TEST_F(DeclaredSizes, PicturesDecodedWholeAreHeldToTheirMemoryLimit)
{
    // Drawn at its full size a GIF is decoded whole, nine bytes a pixel:
    // 2000 x 1000 fits the 64 MB limit, 4000 x 2000 does not, though its file
    // is real and small.
    Load();
    const std::pair<int, bool> sizes[] = {{1000, true}, {2000, false}};
    for (const auto &[height, drawn] : sizes) {
        std::string path = dir / ("solid" + std::to_string(height) + ".gif");
        ASSERT_TRUE(WritePicture(path, TestImage(2 * height, height, Red)));
        ASSERT_EQ(Run("canvas 80 40"), "");
        EXPECT_EQ(Run("picture l 0 0 " + std::to_string(height / 40) + " abs " + path), "");
        EXPECT_EQ(CountNear(Left(), Red.Colour(), 4, 0, 0, 80, 40), drawn ? 80 * 40 : 0) << height;
    }
}

TEST_F(DeclaredSizes, ALargeGifDrawnSmallIsReadRowByRow)
{
    // A 4000 x 2000 GIF drawn into 80 x 40 needs only a reduced copy. Its
    // clear stripe stays clear over the white canvas.
    Load();
    TestImage frame = Quadrants(4000, 2000, Red, Green, Blue, Yellow);
    for (int y = 0; y < 2000; y++)
        for (int x = 1800; x < 2200; x++)
            frame.At(x, y).a = 0;
    std::string path = dir / "large.gif";
    ASSERT_TRUE(WritePicture(path, frame));
    ASSERT_EQ(Run("canvas 80 40"), "");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
    EXPECT_EQ(CountNear(Left(), Red.Colour(), 4, 0, 0, 35, 19), 35 * 19);
    EXPECT_EQ(CountNear(Left(), Yellow.Colour(), 4, 45, 21, 80, 40), 35 * 19);
    EXPECT_EQ(CountNear(Left(), White, 4, 37, 0, 43, 40), 6 * 40) << "the clear stripe";
}

TEST_F(DeclaredSizes, ALargeBmpDrawnSmallIsDecodedReduced)
{
    // 5000 x 4000 pixels: 60 MB of file, 80 MB decoded whole; drawn on a
    // small canvas it needs only the reduced copy.
    Load();
    std::string path = dir / "large.bmp";
    ASSERT_TRUE(WriteBytes(path, EncodeBmp(Quadrants(5000, 4000, Red, Green, Blue, Yellow), false)));
    ASSERT_EQ(Run("canvas 50 40"), "");
    EXPECT_EQ(Run("picture l 0 0 1 abs " + path), "");
    EXPECT_EQ(CountNear(Left(), Red.Colour(), 4, 0, 0, 24, 19), 24 * 19);
    EXPECT_EQ(CountNear(Left(), Yellow.Colour(), 4, 26, 21, 50, 40), 24 * 19);
}

TEST_F(DeclaredSizes, AFifoIsNotWaitedFor)
{
    // Opening a FIFO without a writer blocked forever; now it is not a
    // picture, promptly.
    Load();
    ASSERT_EQ(Run("canvas 20 10"), "");
    std::string path = dir / "fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            alarm(5);
            const char *result = Command("picture l 0 0 1 abs " + path);
            std::fprintf(stderr, "[%s] %ld\n", result ? result : "", Left().Count(White));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "\\[\\] 200");
}

}
