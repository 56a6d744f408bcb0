// Animation files read back with each format's own decoder: frame count,
// frame times, size and colours.
#include "app/export/export.h"
#include "app/files/animation.h"
#include "app/files/image_file.h"
#include "app/process/child_process.h"
#include "tests/render/render_harness.h"
#include "tests/shared/spawn.h"

#include <gif_lib.h>
#include <webp/demux.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using namespace tesselin;

// A frame: a horizontal grey ramp (more greys than a palette holds, once
// tinted) with a coloured square whose place moves with number.
Image Frame(int w, int h, int number)
{
    Image image(w, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            image.At(x, y) = Rgb(x * 255 / std::max(1, w - 1), (x + y) * 255 / std::max(1, w + h - 2), 90);
    int x0 = (number * 7) % std::max(1, w - 10);
    for (int y = 2; y < std::min(h, 12); y++)
        for (int x = x0; x < std::min(w, x0 + 10); x++)
            image.At(x, y) = Rgb(250, 20, 20);
    return image;
}

struct Decoded {
    int width = 0, height = 0;
    std::vector<Image> frames;
    std::vector<int> durations; // in the file's own units
};

std::optional<Decoded> ReadGif(const std::string &path)
{
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif)
        return std::nullopt;
    std::optional<Decoded> out;
    if (DGifSlurp(gif) == GIF_OK) {
        out.emplace();
        out->width = gif->SWidth;
        out->height = gif->SHeight;
        for (int i = 0; i < gif->ImageCount; i++) {
            const SavedImage &saved = gif->SavedImages[i];
            GraphicsControlBlock control{};
            DGifSavedExtensionToGCB(gif, i, &control);
            out->durations.push_back(control.DelayTime);
            const ColorMapObject *map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
            Image image(saved.ImageDesc.Width, saved.ImageDesc.Height);
            for (std::size_t p = 0; p < image.pixels.size(); p++) {
                GifColorType c = map->Colors[saved.RasterBits[p]];
                image.pixels[p] = Rgb(c.Red, c.Green, c.Blue);
            }
            out->frames.push_back(std::move(image));
        }
    }
    DGifCloseFile(gif, &error);
    return out;
}

std::optional<Decoded> ReadWebp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string bytes = buffer.str();
    WebPData data = {reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder *decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return std::nullopt;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    Decoded out;
    out.width = int(info.canvas_width);
    out.height = int(info.canvas_height);
    int previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t *rgba = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &rgba, &timestamp))
            break;
        Image image(out.width, out.height);
        for (std::size_t p = 0; p < image.pixels.size(); p++)
            image.pixels[p] = Rgb(rgba[4 * p], rgba[4 * p + 1], rgba[4 * p + 2]);
        out.frames.push_back(std::move(image));
        // A frame's timestamp is when it ends.
        out.durations.push_back(timestamp - previous);
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    return out;
}

double MeanError(const Image &a, const Image &b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); i++)
        sum += std::abs(Red(a.pixels[i]) - Red(b.pixels[i])) + std::abs(Green(a.pixels[i]) - Green(b.pixels[i])) +
               std::abs(Blue(a.pixels[i]) - Blue(b.pixels[i]));
    return sum / (3.0 * double(a.pixels.size()));
}

bool Write(const std::string &path, double fps, const std::vector<Image> &frames, std::string &error)
{
    auto writer = AnimationWriter::Open(path, fps, error);
    if (!writer)
        return false;
    for (const Image &frame : frames)
        if (!writer->Add(frame, error))
            return false;
    return writer->Finish(error);
}

struct FormatCase {
    const char *extension;
    int unitsPerSecond;
    std::optional<Decoded> (*read)(const std::string &);
    double meanError; // per channel, of 255
};

TEST(Animation, FramesAndTheirTimesReadBack)
{
    const FormatCase formats[] = {{".gif", 100, ReadGif, 6}, {".webp", 1000, ReadWebp, 6}};
    for (const FormatCase &format : formats) {
        for (double fps : {25.0, 30.0, 7.5}) {
            SCOPED_TRACE(std::string(format.extension) + " at " + std::to_string(fps));
            std::vector<Image> frames;
            for (int i = 0; i < 7; i++)
                frames.push_back(Frame(61, 33, i));
            std::string path = render::ScratchDirectory() + "/anim" + std::to_string(int(fps * 10)) + format.extension;
            std::string error;
            ASSERT_TRUE(Write(path, fps, frames, error)) << error;
            auto decoded = format.read(path);
            ASSERT_TRUE(decoded);
            EXPECT_EQ(decoded->width, 61);
            EXPECT_EQ(decoded->height, 33);
            ASSERT_EQ(decoded->frames.size(), frames.size());
            int total = 0;
            double each = format.unitsPerSecond / fps;
            for (std::size_t i = 0; i < frames.size(); i++) {
                EXPECT_LE(std::abs(decoded->durations[i] - each), 1.0) << "frame " << i;
                total += decoded->durations[i];
                EXPECT_LT(MeanError(decoded->frames[i], frames[i]), format.meanError) << "frame " << i;
                // The moving square is where that frame put it.
                int x0 = int(i * 7) % 51;
                EXPECT_GT(Red(decoded->frames[i].At(x0 + 5, 7)), 200);
                EXPECT_LT(Green(decoded->frames[i].At(x0 + 5, 7)), 60);
            }
            // No drift: the frames end when the last one should.
            EXPECT_NEAR(total, frames.size() * each, 0.51);
        }
    }
}

// Frame rates at both ends of what --fps takes: a frame longer than the
// format can hold is held at its longest, and no frame lasts no time.
TEST(Animation, FrameTimesStayWithinWhatTheFormatHolds)
{
    struct Case {
        FormatCase format;
        double fps;
        int expected; // each frame's duration in the format's units
    } cases[] = {
        {{".gif", 100, ReadGif, 6}, 0.001, 65535},   {{".gif", 100, ReadGif, 6}, 1e-300, 65535},
        {{".gif", 100, ReadGif, 6}, 120, 1},         {{".webp", 1000, ReadWebp, 6}, 0.001, 1000000},
        {{".webp", 1000, ReadWebp, 6}, 1e-300, 16777215},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.format.extension) + " at " + std::to_string(c.fps));
        std::vector<Image> frames = {Frame(20, 10, 0), Frame(20, 10, 1), Frame(20, 10, 2)};
        std::string path = render::ScratchDirectory() + "/ends" + c.format.extension;
        std::string error;
        ASSERT_TRUE(Write(path, c.fps, frames, error)) << error;
        auto decoded = c.format.read(path);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->durations.size(), frames.size());
        for (int duration : decoded->durations)
            EXPECT_EQ(duration, c.expected);
    }
    // ffmpeg takes every rate, the slowest held at a frame an hour.
    if (ProgramOnPath("ffmpeg")) {
        for (double fps : {0.001, 1e-300, 120.0}) {
            SCOPED_TRACE(".mp4 at " + std::to_string(fps));
            std::string movie = render::ScratchDirectory() + "/ends.mp4", error;
            EXPECT_TRUE(Write(movie, fps, {Frame(20, 10, 0), Frame(20, 10, 1)}, error)) << error;
            EXPECT_GT(std::filesystem::file_size(movie), 0u);
        }
    }
    // At the fastest rate WebP frames alternate between 8 and 9 ms.
    std::string path = render::ScratchDirectory() + "/fast.webp", error;
    ASSERT_TRUE(Write(path, 120, {Frame(20, 10, 0), Frame(20, 10, 1), Frame(20, 10, 2)}, error)) << error;
    auto decoded = ReadWebp(path);
    ASSERT_TRUE(decoded);
    for (int duration : decoded->durations) {
        EXPECT_GE(duration, 8);
        EXPECT_LE(duration, 9);
    }
}

TEST(Animation, GifPaletteIsDitheredOverSmoothRamps)
{
    // A ramp of 256 x 3 colours needs more than 256 entries; dithering mixes
    // neighbours, so a column's mean stays close to its true colour.
    Image ramp(256, 40);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 256; x++)
            ramp.At(x, y) = Rgb(x, 255 - x, (x * 3 + y) % 256);
    std::string path = render::ScratchDirectory() + "/ramp.gif", error;
    ASSERT_TRUE(Write(path, 10, {ramp}, error)) << error;
    auto decoded = ReadGif(path);
    ASSERT_TRUE(decoded && decoded->frames.size() == 1);
    const Image &out = decoded->frames[0];
    EXPECT_LT(MeanError(out, ramp), 8);
    for (int x = 8; x < 248; x += 40) {
        double mean = 0;
        for (int y = 0; y < 40; y++)
            mean += Red(out.At(x, y));
        EXPECT_NEAR(mean / 40, x, 4) << "column " << x;
    }
}

TEST(Animation, LaterFramesOfAnotherSizeAreFittedToTheFirst)
{
    std::string path = render::ScratchDirectory() + "/sizes.gif", error;
    ASSERT_TRUE(Write(path, 10, {Image(20, 10, 0), Image(30, 5, 0), Image(4, 4, 0)}, error)) << error;
    auto decoded = ReadGif(path);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->frames.size(), 3u);
    for (const Image &frame : decoded->frames) {
        EXPECT_EQ(frame.width, 20);
        EXPECT_EQ(frame.height, 10);
    }
    EXPECT_EQ(decoded->frames[1].At(10, 3), 0u);
    EXPECT_EQ(decoded->frames[1].At(10, 8), 0xFFFFFFu); // padded with white
    EXPECT_EQ(decoded->frames[2].At(10, 3), 0xFFFFFFu);
}

TEST(Animation, BadRequestsAreRefusedAndLeaveNoFile)
{
    std::string error, dir = render::ScratchDirectory();
    EXPECT_FALSE(AnimationWriter::Open(dir + "/a.avi", 25, error));
    EXPECT_NE(error.find(".gif, .webp or .mp4"), std::string::npos) << error;
    for (double fps : {0.0, -1.0, 121.0, std::nan("")})
        EXPECT_FALSE(AnimationWriter::Open(dir + "/a.gif", fps, error)) << fps;
    for (const char *name : {"/none.gif", "/none.webp"}) {
        auto writer = AnimationWriter::Open(dir + name, 25, error);
        ASSERT_TRUE(writer);
        EXPECT_FALSE(writer->Finish(error));
        EXPECT_NE(error.find("no frame"), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(dir + name)) << name;
    }
    // A path that cannot be written fails at the first frame, not at the end.
    for (const char *name : {"/missing/dir/a.gif", "/missing/dir/a.webp"}) {
        auto unwritable = AnimationWriter::Open(dir + name, 25, error);
        ASSERT_TRUE(unwritable);
        EXPECT_FALSE(unwritable->Add(Image(4, 4), error)) << name;
        EXPECT_NE(error.find(dir + name), std::string::npos) << error;
    }
    // A writer dropped before it finishes leaves no partial file.
    for (const char *name : {"/dropped.gif", "/dropped.webp"}) {
        auto writer = AnimationWriter::Open(dir + name, 25, error);
        ASSERT_TRUE(writer && writer->Add(Image(4, 4), error)) << error;
        writer.reset();
        EXPECT_FALSE(std::filesystem::exists(dir + name)) << name;
    }
}

TEST(Animation, FrameDurationsAddUpWithoutDrift)
{
    for (double fps : {1.0, 7.0, 24.0, 29.97, 30.0, 60.0, 120.0})
        for (int units : {100, 1000}) {
            long long total = 0;
            for (int i = 0; i < 600; i++) {
                int d = FrameDuration(i, fps, units);
                EXPECT_LE(std::abs(d - units / fps), 1.0);
                EXPECT_GE(d, 1) << "a frame never lasts no time";
                total += d;
            }
            // Frames shorter than a unit last one, so only those add up exactly.
            if (units / fps >= 1) {
                EXPECT_EQ(total, std::llround(600 * units / fps)) << fps << " " << units;
            }
        }
}


TEST(Animation, Mp4ThroughFfmpegHasEveryFrame)
{
    if (!ProgramOnPath("ffmpeg") || !ProgramOnPath("ffprobe"))
        GTEST_SKIP() << "ffmpeg is not installed";
    std::vector<Image> frames;
    for (int i = 0; i < 12; i++)
        frames.push_back(Frame(63, 31, i)); // odd sides: padded to even
    std::string path = render::ScratchDirectory() + "/anim.mp4", error;
    ASSERT_TRUE(Write(path, 24, frames, error)) << error;
    std::string probe = tests::Capture({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                        "-show_entries", "stream=nb_read_frames,r_frame_rate,width,height", "-of",
                                        "default=nw=1", path});
    EXPECT_NE(probe.find("nb_read_frames=12"), std::string::npos) << probe;
    EXPECT_NE(probe.find("r_frame_rate=24/1"), std::string::npos) << probe;
    EXPECT_NE(probe.find("width=64"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=32"), std::string::npos) << probe;
}

TEST(Animation, Mp4WithoutFfmpegSaysWhatIsMissing)
{
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", render::ScratchDirectory().c_str(), 1);
    std::string error;
    auto writer = AnimationWriter::Open(render::ScratchDirectory() + "/x.mp4", 25, error);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(writer);
    EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
    EXPECT_NE(error.find("not installed"), std::string::npos) << error;
}

} // namespace

// Every output picks its format by the one extension reading: the capitals
// of a name never change what is written, and a name none of them writes is
// refused by all.
TEST(OutputNames, CapitalsNeverChangeTheFormat)
{
    using tesselin::AnimationFormat, tesselin::ExportFormat, tesselin::ImageFormat;
    struct Case {
        const char *name;
        std::optional<ImageFormat> image;
        std::optional<AnimationFormat> animation;
        std::optional<ExportFormat> model;
    } cases[] = {
        {"a.png", ImageFormat::Png, {}, {}},       {"dir.x/A.PNG", ImageFormat::Png, {}, {}},
        {"b.JpEg", ImageFormat::Jpeg, {}, {}},     {"c.GIF", {}, AnimationFormat::Gif, {}},
        {"d.WebP", {}, AnimationFormat::Webp, {}}, {"e.Mp4", {}, AnimationFormat::Mp4, {}},
        {"f.GLB", {}, {}, ExportFormat::Glb},      {"g.Gltf", {}, {}, ExportFormat::Gltf},
        {"h.OBJ", {}, {}, ExportFormat::Obj},      {"i.Stl", {}, {}, ExportFormat::Stl},
        {"j.HTML", {}, {}, ExportFormat::Html},    {"k.bmp", {}, {}, {}},
        {"png", {}, {}, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(tesselin::FormatForPath(c.name), c.image) << c.name;
        EXPECT_EQ(tesselin::AnimationFormatOf(c.name), c.animation) << c.name;
        EXPECT_EQ(tesselin::ExportFormatOf(c.name), c.model) << c.name;
    }
}
