// Animation files written where writing fails or is cut short: size limits,
// FIFOs, devices, signals. An existing file survives any failed write with
// its permissions, special files are written in place and never removed,
// and no temporary file is left behind in any case.
#include "app/files/animation.h"
#include "app/process/child_process.h"
#include "app/process/interrupt.h"
#include "app/process/output_file.h"
#include "tests/render/child_process.h"
#include "tests/shared/spawn.h"
#include "tests/shared/text_files.h"

#include <gif_lib.h>
#include <webp/demux.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace {

namespace fs = std::filesystem;
using render::Child;
using render::ChildResult;
using render::ChildSetup;


// The frames each format's own decoder finds in the file; none when it
// cannot be decoded.
std::optional<int> GifFrames(const std::string &path)
{
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif)
        return std::nullopt;
    std::optional<int> frames;
    if (DGifSlurp(gif) == GIF_OK)
        frames = gif->ImageCount;
    DGifCloseFile(gif, &error);
    return frames;
}

std::optional<int> WebpFrames(const std::string &path)
{
    std::string bytes = ReadFile(path);
    WebPData data = {reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()};
    WebPAnimDecoder *decoder = WebPAnimDecoderNew(&data, nullptr);
    if (!decoder)
        return std::nullopt;
    int frames = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t *rgba = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &rgba, &timestamp)) {
            WebPAnimDecoderDelete(decoder);
            return std::nullopt;
        }
        frames++;
    }
    WebPAnimDecoderDelete(decoder);
    return frames;
}

std::optional<int> Mp4Frames(const std::string &path)
{
    std::string probe = tests::Capture({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                        "-show_entries", "stream=nb_read_frames", "-of",
                                        "default=nw=1:nk=1", path});
    if (probe.empty() || !std::isdigit(static_cast<unsigned char>(probe[0])))
        return std::nullopt;
    return std::stoi(probe);
}

struct Format {
    const char *extension;
    std::optional<int> (*frames)(const std::string &);
    bool needsFfmpeg;
    bool writesToSpecialFiles; // an MP4 needs a file it can go back in
};

const Format Formats[] = {
    {".gif", GifFrames, false, true},
    {".webp", WebpFrames, false, true},
    {".mp4", Mp4Frames, true, false},
};

bool Available(const Format &format) { return !format.needsFfmpeg || tesselin::ProgramOnPath("ffprobe"); }

// Three frames of 1500 x 1500, well over the size limit in every format.
constexpr const char *ThreeFrames = "canvas 1500 1500 persp 30 1 100 10\n"
                                    "clear 0.2 0.3 0.4\nfinish\n"
                                    "clear 0.9 0.3 0.1\nfinish\n"
                                    "clear 0.1 0.8 0.3\nfinish\n";
constexpr const char *SmallFrames = "canvas 40 30 persp 30 1 100 10\nclear 0.2 0.3 0.4\nfinish\n"
                                    "clear 0.9 0.3 0.1\nfinish\n";

// Limits every file the program (and ffmpeg) writes to 1 KB, so the
// animation fails half-way while short messages still reach standard error.
// The signal such a write raises is the program's own to ignore (ffmpeg
// inherits that): a run it kills fails the test.
const ChildSetup SmallFileLimit = {.fileSize = 1024};

class AnimationFiles : public ::testing::Test {
protected:
    void SetUp() override { directory_ = render::ScratchDirectory(); }
    std::string Path(const std::string &name) const { return directory_ + "/" + name; }
    std::string Script(const std::string &text)
    {
        std::string path = Path("script.tsl");
        WriteFile(path, text);
        return path;
    }
    ChildResult Run(const std::vector<std::string> &args, const ChildSetup &setup = {})
    {
        Child child(args, directory_, setup);
        EXPECT_TRUE(child.Started());
        child.CloseInput();
        return child.Wait();
    }
    // Files in the folder whose names start with a dot (temporaries).
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(directory_))
            if (entry.path().filename().string()[0] == '.')
                names.push_back(entry.path().string());
        return names;
    }

    std::string directory_;
};

constexpr fs::perms SharedMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

TEST_F(AnimationFiles, ExistingFileIsKeptWhenTheWriteFailsAndReplacedWhenItSucceeds)
{
    for (const Format &format : Formats) {
        SCOPED_TRACE(format.extension);
        if (!Available(format))
            continue;
        std::string old = Path(std::string("old") + format.extension), before = "the animation that was here\n";
        WriteFile(old, before);
        fs::permissions(old, SharedMode);

        ChildResult failed = Run({"run", Script(ThreeFrames), "--animation", old}, SmallFileLimit);
        EXPECT_TRUE(failed.exited) << "signal " << failed.signal;
        EXPECT_EQ(failed.status, 1) << failed.err;
        EXPECT_TRUE(Contains(failed.err, "Error! ")) << failed.err;
        EXPECT_TRUE(Contains(failed.err, old)) << failed.err;
        EXPECT_EQ(ReadFile(old), before);
        EXPECT_EQ(fs::status(old).permissions() & fs::perms::all, SharedMode);
        EXPECT_EQ(Leftovers(), std::vector<std::string>());

        ChildResult written = Run({"run", Script(SmallFrames), "--animation", old});
        EXPECT_EQ(written.status, 0) << written.err;
        EXPECT_EQ(format.frames(old), std::optional<int>(2));
        EXPECT_EQ(fs::status(old).permissions() & fs::perms::all, SharedMode);
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
}

TEST_F(AnimationFiles, FifoIsWrittenInPlaceOrRefusedAndNeverRemoved)
{
    for (const Format &format : Formats) {
        SCOPED_TRACE(format.extension);
        if (!Available(format))
            continue;
        std::string fifo = Path(std::string("pipe") + format.extension);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::string received;
        std::thread reader;
        if (format.writesToSpecialFiles)
            reader = std::thread([&] { received = ReadFile(fifo); });
        ChildResult result = Run({"run", Script(SmallFrames), "--animation", fifo});
        if (reader.joinable())
            reader.join();
        if (format.writesToSpecialFiles) {
            EXPECT_EQ(result.status, 0) << result.err;
            std::string copy = Path(std::string("received") + format.extension);
            WriteFile(copy, received);
            EXPECT_EQ(format.frames(copy), std::optional<int>(2));
        } else {
            // Refused before the run starts, as a wrong option would be.
            EXPECT_EQ(result.status, 2) << result.err;
            EXPECT_TRUE(Contains(result.err, "cannot write " + fifo + ": an .mp4 video")) << result.err;
            EXPECT_TRUE(Contains(result.err, "needs an ordinary file")) << result.err;
        }
        struct stat status {};
        ASSERT_EQ(stat(fifo.c_str(), &status), 0);
        EXPECT_TRUE(S_ISFIFO(status.st_mode));
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
}

TEST_F(AnimationFiles, FullDeviceIsReportedAndNeverRemoved)
{
    for (const Format &format : Formats) {
        SCOPED_TRACE(format.extension);
        if (!Available(format))
            continue;
        // A private full device named as an animation; the machine's own
        // /dev/full is out of a faulty writer's reach.
        std::string device = Path(std::string("full") + format.extension);
        if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            GTEST_SKIP() << "cannot make a device node here";
        ChildResult result = Run({"run", Script(SmallFrames), "--animation", device});
        EXPECT_EQ(result.status, format.writesToSpecialFiles ? 1 : 2) << result.err;
        EXPECT_TRUE(Contains(result.err, "cannot write " + device + ": " +
                                             (format.writesToSpecialFiles ? "No space left on device"
                                                                          : "an .mp4 video")))
            << result.err;
        struct stat status {};
        ASSERT_EQ(stat(device.c_str(), &status), 0);
        EXPECT_TRUE(S_ISCHR(status.st_mode));
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
}

TEST_F(AnimationFiles, InterruptedAnimationLeavesTheOldFileAndNoTemporary)
{
    for (const Format &format : Formats) {
        SCOPED_TRACE(format.extension);
        if (!Available(format))
            continue;
        std::string target = Path(std::string("cut") + format.extension), before = "the animation before\n";
        WriteFile(target, before);
        pid_t child = fork();
        if (child == 0) {
            tesselin::EndRunOnSignals();
            std::string error;
            auto writer = tesselin::AnimationWriter::Open(target, 25, error);
            for (int i = 0; writer && i < 3; i++)
                if (!writer->Add(tesselin::Image(64, 48), error))
                    _exit(2);
            // Images written while the animation is pending (-o, --frames)
            // must not make the run forget the animation's temporary file.
            auto fill = [](std::FILE *stream, std::string &) { return std::fputs("an image", stream) >= 0; };
            if (!tesselin::WriteOutputFile(Path("frame.png"), fill, error))
                _exit(3);
            raise(SIGINT);
            _exit(0); // the signal should have ended it
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 130);
        // ffmpeg may still be finishing: it must not bring a file back.
        std::this_thread::sleep_for(std::chrono::milliseconds(format.needsFfmpeg ? 500 : 0));
        EXPECT_EQ(ReadFile(target), before);
        EXPECT_EQ(ReadFile(Path("frame.png")), "an image");
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
}

} // namespace
