// Stereo JPEG files: the JPEG library reads both images back, and the MP
// index in the first image's APP2 segment describes where they lie.
#include "app/files/mpo.h"
#include "tests/render/render_harness.h"

#include <turbojpeg.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

using namespace tesselin;

// A decoded JPEG from bytes [begin, begin + size) of data.
std::optional<Image> DecodeJpeg(const std::string &data, std::size_t begin, std::size_t size)
{
    if (begin + size > data.size())
        return std::nullopt;
    tjhandle handle = tjInitDecompress();
    auto bytes = reinterpret_cast<const unsigned char *>(data.data() + begin);
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    std::optional<Image> image;
    if (tjDecompressHeader3(handle, bytes, size, &width, &height, &subsampling, &colourspace) == 0) {
        Image decoded(width, height);
        if (tjDecompress2(handle, bytes, size, reinterpret_cast<unsigned char *>(decoded.pixels.data()), width,
                          width * 4, height, TJPF_RGBX, 0) == 0) {
            for (auto &p : decoded.pixels)
                p &= 0xFFFFFF;
            image = std::move(decoded);
        }
    }
    tjDestroy(handle);
    return image;
}

// The APP2 "MPF" segments of the JPEG starting at begin: where the MP data
// (after "MPF\0") starts in data, and how long it is.
std::vector<std::pair<std::size_t, std::size_t>> MpfSegments(const std::string &data, std::size_t begin)
{
    std::vector<std::pair<std::size_t, std::size_t>> found;
    auto byte = [&](std::size_t i) { return uint8_t(data.at(i)); };
    std::size_t at = begin + 2;
    while (at + 4 <= data.size() && byte(at) == 0xFF && byte(at + 1) != 0xDA) {
        std::size_t length = std::size_t(byte(at + 2)) << 8 | byte(at + 3);
        if (byte(at + 1) == 0xE2 && data.compare(at + 4, 4, std::string("MPF\0", 4)) == 0)
            found.push_back({at + 8, length - 6});
        at += 2 + length;
    }
    return found;
}

// The tags of the IFDs of one MP data block, read as a TIFF reader would,
// in either byte order: tag -> (count, value or offset), IFD after IFD.
struct MpData {
    const std::string *data;
    std::size_t start;
    bool big;
    uint32_t U(std::size_t offset, int bytes) const
    {
        uint32_t v = 0;
        for (int i = 0; i < bytes; i++) {
            uint32_t b = uint8_t(data->at(start + offset + i));
            v |= big ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
        }
        return v;
    }
    std::vector<std::map<uint16_t, std::pair<uint32_t, uint32_t>>> Ifds() const
    {
        std::vector<std::map<uint16_t, std::pair<uint32_t, uint32_t>>> ifds;
        for (uint32_t at = U(4, 4); at != 0 && ifds.size() < 4; ) {
            std::map<uint16_t, std::pair<uint32_t, uint32_t>> tags;
            int count = int(U(at, 2));
            for (int i = 0; i < count; i++) {
                std::size_t e = at + 2 + 12 * std::size_t(i);
                // The MP tags hold one LONG, 4 UNDEFINED bytes or an
                // offset: all four bytes of the value field.
                tags[uint16_t(U(e, 2))] = {U(e + 4, 4), U(e + 8, 4)};
            }
            ifds.push_back(tags);
            at = U(at + 2 + 12 * std::size_t(count), 4);
        }
        return ifds;
    }
};

MpData Open(const std::string &data, std::size_t start)
{
    return {&data, start, data.compare(start, 4, std::string("MM\0\x2A", 4)) == 0};
}

Image Pattern(int w, int h, uint32_t a, uint32_t b)
{
    Image image(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            image.At(x, y) = x < w / 2 ? a : b;
    return image;
}

bool Close(uint32_t a, uint32_t b, int tolerance)
{
    return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
           std::abs(Blue(a) - Blue(b)) <= tolerance;
}

TEST(StereoJpeg, BothEyesDecodeFromWhereTheIndexSaysTheyAre)
{
    for (auto [w, h] : {std::pair{64, 48}, {333, 101}, {1, 1}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        Image left = Pattern(w, h, Rgb(200, 30, 30), Rgb(30, 30, 200));
        Image right = Pattern(w, h, Rgb(20, 180, 40), Rgb(250, 250, 250));
        std::string error;
        auto file = EncodeMpo(left, right, error);
        ASSERT_TRUE(file) << error;

        // The first image's index: version 0100, two images, 16 bytes each.
        auto segments = MpfSegments(*file, 0);
        ASSERT_EQ(segments.size(), 1u);
        MpData first = Open(*file, segments[0].first);
        auto ifds = first.Ifds();
        ASSERT_GE(ifds.size(), 1u);
        EXPECT_EQ(ifds[0].at(0xB000).second, 0x30313030u);
        EXPECT_EQ(ifds[0].at(0xB001).second, 2u);
        ASSERT_EQ(ifds[0].at(0xB002).first, 32u);
        uint32_t entries = ifds[0].at(0xB002).second;
        ASSERT_LE(entries + 32, segments[0].second);

        std::size_t total = 0;
        const Image *eyes[2] = {&left, &right};
        for (int i = 0; i < 2; i++) {
            uint32_t attribute = first.U(entries + 16 * i, 4), size = first.U(entries + 16 * i + 4, 4);
            uint32_t offset = first.U(entries + 16 * i + 8, 4);
            EXPECT_EQ(attribute & 0xFFFFFF, 0x020002u) << "a view of a stereo set";
            EXPECT_EQ((attribute >> 29) & 1, i == 0 ? 1u : 0u) << "the first image represents the file";
            // The first image's offset is 0; the others count from the MP header.
            std::size_t begin = i == 0 ? 0 : segments[0].first + offset;
            EXPECT_EQ(i == 0, offset == 0);
            ASSERT_LE(begin + 2, file->size());
            EXPECT_EQ(uint8_t((*file)[begin]), 0xFF);
            EXPECT_EQ(uint8_t((*file)[begin + 1]), 0xD8);
            EXPECT_EQ(begin, total) << "images follow each other";
            total += size;
            auto decoded = DecodeJpeg(*file, begin, size);
            ASSERT_TRUE(decoded);
            ASSERT_EQ(decoded->width, w);
            ASSERT_EQ(decoded->height, h);
            // Away from the edge between the halves, where JPEG rings.
            for (int y = 0; y < h; y += std::max(1, h / 7)) {
                for (int x = 0; x < w; x += std::max(1, w / 9)) {
                    if (std::abs(x - w / 2) > 8 || w < 16) {
                        ASSERT_TRUE(Close(decoded->At(x, y), eyes[i]->At(x, y), 12)) << "eye " << i << " at " << x;
                    }
                }
            }
            // Each image names its own number in its attribute IFD.
            auto own = MpfSegments(*file, begin);
            ASSERT_EQ(own.size(), 1u);
            auto ownIfds = Open(*file, own[0].first).Ifds();
            EXPECT_EQ(ownIfds.back().at(0xB101).second, uint32_t(i + 1));
        }
        EXPECT_EQ(total, file->size());
        // A program that knows only JPEG sees the left eye.
        auto plain = DecodeJpeg(*file, 0, file->size());
        ASSERT_TRUE(plain);
        EXPECT_TRUE(Close(plain->At(0, 0), left.At(0, 0), 12));
    }
}

TEST(StereoJpeg, EmptyEyesAndUnwritablePathsFailWithoutAFile)
{
    std::string error;
    EXPECT_FALSE(EncodeMpo(Image(), Image(4, 4), error));
    EXPECT_FALSE(error.empty());
    std::string path = render::ScratchDirectory() + "/no/such/dir/pair.mpo";
    error.clear();
    EXPECT_FALSE(WriteMpo(path, Image(4, 4), Image(4, 4), error));
    EXPECT_NE(error.find(path), std::string::npos);
    std::string good = render::ScratchDirectory() + "/pair.mpo";
    ASSERT_TRUE(WriteMpo(good, Image(8, 8, 0), Image(8, 8, 0xFFFFFF), error)) << error;
    std::ifstream in(good, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), *EncodeMpo(Image(8, 8, 0), Image(8, 8, 0xFFFFFF), error));
}

} // namespace
