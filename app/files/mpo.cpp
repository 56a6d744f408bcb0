#include "app/files/mpo.h"
#include "app/process/output_file.h"

#include <turbojpeg.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>

namespace tesselin {

namespace {

// MP entry attribute: JPEG data, type "disparity" (one view of a stereo
// set); the first image is also the representative one.
constexpr uint32_t DisparityImage = 0x00020002u;
constexpr uint32_t RepresentativeFlag = 0x20000000u;

enum : uint16_t {
    TagVersion = 0xB000,
    TagNumberOfImages = 0xB001,
    TagEntries = 0xB002,
    TagIndividualNumber = 0xB101,
};
enum : uint16_t { TypeLong = 4, TypeUndefined = 7 };

constexpr std::size_t IfdEntryBytes = 12, MpEntryBytes = 16;

// Big-endian writer for the MP data (which starts with "MM").
struct BigEndian {
    std::string bytes;
    void U16(uint32_t v)
    {
        bytes += char(v >> 8);
        bytes += char(v);
    }
    void U32(uint32_t v)
    {
        U16(v >> 16);
        U16(v & 0xFFFF);
    }
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
    {
        U16(tag);
        U16(type);
        U32(count);
        U32(value);
    }
    void Version() { Entry(TagVersion, TypeUndefined, 4, 0x30313030u); } // "0100"
};

// The MP data of the first image: header, index IFD, attribute IFD, entries.
std::string FirstMpData(uint32_t firstSize, uint32_t secondSize, uint32_t secondOffset)
{
    constexpr uint32_t Header = 8, IndexIfd = 2 + 3 * IfdEntryBytes + 4, AttributeIfd = 2 + 2 * IfdEntryBytes + 4;
    BigEndian out;
    out.bytes = std::string("MM\0\x2A", 4);
    out.U32(Header);
    out.U16(3);
    out.Version();
    out.Entry(TagNumberOfImages, TypeLong, 1, 2);
    out.Entry(TagEntries, TypeUndefined, 2 * MpEntryBytes, Header + IndexIfd + AttributeIfd);
    out.U32(Header + IndexIfd); // the next IFD: this image's attributes
    out.U16(2);
    out.Version();
    out.Entry(TagIndividualNumber, TypeLong, 1, 1);
    out.U32(0);
    for (auto [attribute, size, offset] : {std::tuple{DisparityImage | RepresentativeFlag, firstSize, 0u},
                                           std::tuple{DisparityImage, secondSize, secondOffset}}) {
        out.U32(attribute);
        out.U32(size);
        out.U32(offset);
        out.U32(0); // no dependent images
    }
    return out.bytes;
}

// The MP data of the second image: its attributes only.
std::string SecondMpData()
{
    BigEndian out;
    out.bytes = std::string("MM\0\x2A", 4);
    out.U32(8);
    out.U16(2);
    out.Version();
    out.Entry(TagIndividualNumber, TypeLong, 1, 2);
    out.U32(0);
    return out.bytes;
}

std::string App2Segment(const std::string &mpData)
{
    std::string payload = std::string("MPF\0", 4) + mpData;
    std::size_t length = payload.size() + 2;
    return std::string{char(0xFF), char(0xE2), char(length >> 8), char(length & 0xFF)} + payload;
}

// Where the APP2 segment goes: after SOI and a JFIF APP0 if there is one.
std::size_t InsertionPoint(const std::string &jpeg)
{
    if (jpeg.size() > 6 && uint8_t(jpeg[2]) == 0xFF && uint8_t(jpeg[3]) == 0xE0)
        return 4 + (std::size_t(uint8_t(jpeg[4])) << 8 | uint8_t(jpeg[5]));
    return 2;
}

struct Compressor {
    std::unique_ptr<void, int (*)(tjhandle)> handle{tjInitCompress(), tjDestroy};
};

std::optional<std::string> EncodeJpeg(tjhandle handle, const Image &image, int quality, std::string &error)
{
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, reinterpret_cast<const unsigned char *>(image.pixels.data()), image.width,
                    image.width * 4, image.height, TJPF_RGBX, &buffer, &size, TJSAMP_444, quality,
                    TJFLAG_ACCURATEDCT) != 0) {
        error = std::string("JPEG encoding failed: ") + tjGetErrorStr2(handle);
        tjFree(buffer);
        return std::nullopt;
    }
    std::string jpeg(reinterpret_cast<const char *>(buffer), size);
    tjFree(buffer);
    return jpeg;
}

} // namespace

std::optional<std::string> EncodeMpo(const Image &left, const Image &right, std::string &error, int quality)
{
    if (left.Empty() || right.Empty()) {
        error = "a stereo JPEG needs two images";
        return std::nullopt;
    }
    Compressor compressor;
    if (!compressor.handle) {
        error = "the JPEG library could not start";
        return std::nullopt;
    }
    auto first = EncodeJpeg(compressor.handle.get(), left, quality, error);
    auto second = first ? EncodeJpeg(compressor.handle.get(), right, quality, error) : std::nullopt;
    if (!second)
        return std::nullopt;
    std::size_t firstAt = InsertionPoint(*first), secondAt = InsertionPoint(*second);
    // The index's sizes and offsets do not change the index's own size, so
    // a placeholder gives the lengths.
    std::size_t firstSegment = App2Segment(FirstMpData(0, 0, 0)).size();
    std::string secondSegment = App2Segment(SecondMpData());
    std::size_t firstSize = first->size() + firstSegment, secondSize = second->size() + secondSegment.size();
    std::size_t mpHeader = firstAt + 8; // marker, length, "MPF\0"
    if (firstSize + secondSize > 0xFFFFFFFFu) {
        error = "the stereo pair is too large for a stereo JPEG";
        return std::nullopt;
    }
    std::string firstSegmentBytes = App2Segment(FirstMpData(uint32_t(firstSize), uint32_t(secondSize),
                                                             uint32_t(firstSize - mpHeader)));
    first->insert(firstAt, firstSegmentBytes);
    second->insert(secondAt, secondSegment);
    return *first + *second;
}

bool WriteMpo(const std::string &path, const Image &left, const Image &right, std::string &error, int quality)
{
    auto bytes = EncodeMpo(left, right, error, quality);
    if (!bytes)
        return false;
    return WriteOutputFile(
        path,
        [&bytes](std::FILE *stream, std::string &reason) {
            if (std::fwrite(bytes->data(), 1, bytes->size(), stream) == bytes->size())
                return true;
            reason = "the write failed";
            return false;
        },
        error);
}

} // namespace tesselin
