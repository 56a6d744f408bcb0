#include "app/files/animation.h"
#include "app/process/interrupt.h"
#include "app/process/child_process.h"
#include "app/process/file_descriptors.h"
#include "app/process/output_file.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tesselin {

namespace {


// Every format is written through a PendingOutput, as any other image: an
// ordinary file appears complete or not at all, and a device or FIFO is
// written in place and never removed.
std::string CannotWrite(const std::string &path, const std::string &reason)
{
    return "cannot write " + path + ": " + reason;
}

// frame cut or padded with white to width x height.
Image Fitted(const Image &frame, int width, int height)
{
    Image out(width, height);
    int w = std::min(width, frame.width), h = std::min(height, frame.height);
    for (int y = 0; y < h; y++)
        std::memcpy(&out.At(0, y), &frame.pixels[std::size_t(y) * frame.width], std::size_t(w) * 4);
    return out;
}

// Why giflib failed: the system's reason where a write or close failed.
std::string GifReason(int code)
{
    if ((code == E_GIF_ERR_WRITE_FAILED || code == E_GIF_ERR_CLOSE_FAILED) && errno != 0)
        return std::strerror(errno);
    return GifErrorString(code);
}

// Puts a finished animation in place of its target.
bool CommitAnimation(PendingOutput &output, const std::string &path, std::string &error)
{
    std::string reason;
    if (output.Commit(reason))
        return true;
    error = CannotWrite(path, reason);
    return false;
}

// ---- GIF: a palette of up to 256 colours per frame, chosen and dithered
// by libimagequant, written frame by frame with giflib.

struct QuantAttr {
    std::unique_ptr<liq_attr, void (*)(liq_attr *)> p{liq_attr_create(), liq_attr_destroy};
};

class GifWriter final : public AnimationWriter {
public:
    GifWriter(const std::string &path, double fps) : AnimationWriter(path, fps) {}
    ~GifWriter() override
    {
        if (file_) {
            int ignored;
            EGifCloseFile(file_, &ignored);
        }
    }

    bool Finish(std::string &error) override
    {
        if (!file_) {
            error = frames_ ? "the GIF file is already closed" : "no frame was finished, so no animation was written";
            return false;
        }
        int code = 0;
        bool ok = EGifCloseFile(file_, &code) == GIF_OK;
        file_ = nullptr;
        if (!ok) {
            output_.Abandon();
            error = CannotWrite(path_, GifReason(code));
            return false;
        }
        return CommitAnimation(output_, path_, error);
    }

protected:
    bool Encode(const Image &frame, std::string &error) override
    {
        if (frames_ == 0 && !Start(error))
            return false;
        std::vector<uint32_t> rgba(frame.pixels.size());
        for (std::size_t i = 0; i < rgba.size(); i++)
            rgba[i] = frame.pixels[i] | 0xFF000000u;
        QuantAttr attr;
        // Speed 8 quantises a rendered frame about three times as fast as the
        // default (3) and 6, for an error still well under 1% (measured on
        // the turntable example).
        liq_set_speed(attr.p.get(), 8);
        std::unique_ptr<liq_image, void (*)(liq_image *)> image(
            liq_image_create_rgba(attr.p.get(), rgba.data(), width_, height_, 0), liq_image_destroy);
        liq_result *raw = nullptr;
        if (!image || liq_image_quantize(image.get(), attr.p.get(), &raw) != LIQ_OK) {
            error = "the GIF palette could not be made";
            return Fail();
        }
        std::unique_ptr<liq_result, void (*)(liq_result *)> result(raw, liq_result_destroy);
        liq_set_dithering_level(result.get(), 1.0f);
        std::vector<unsigned char> indexes(rgba.size());
        liq_write_remapped_image(result.get(), image.get(), indexes.data(), indexes.size());
        const liq_palette *palette = liq_get_palette(result.get());

        GifColorType colours[256] = {};
        for (unsigned i = 0; i < palette->count && i < 256; i++)
            colours[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
        std::unique_ptr<ColorMapObject, void (*)(ColorMapObject *)> map(GifMakeMapObject(256, colours),
                                                                        GifFreeMapObject);
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.DelayTime = FrameDuration(frames_, fps_, 100);
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        std::size_t length = EGifGCBToExtension(&control, extension);
        bool ok = map && EGifPutExtension(file_, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
                  EGifPutImageDesc(file_, 0, 0, width_, height_, false, map.get()) == GIF_OK;
        for (int y = 0; ok && y < height_; y++)
            ok = EGifPutLine(file_, &indexes[std::size_t(y) * width_], width_) == GIF_OK;
        if (!ok) {
            error = CannotWrite(path_, GifReason(file_->Error));
            return Fail();
        }
        return true;
    }

private:
    bool Start(std::string &error)
    {
        output_ = PendingOutput::Open(path_, error);
        if (!output_.IsOpen())
            return false;
        // giflib closes the descriptor it is given; the output keeps its own.
        int descriptor = fcntl(output_.Descriptor(), F_DUPFD_CLOEXEC, 0);
        if (descriptor < 0) {
            error = CannotWrite(path_, std::strerror(errno));
            return Fail();
        }
        int code = 0;
        file_ = EGifOpenFileHandle(descriptor, &code);
        if (!file_) {
            close(descriptor);
            error = CannotWrite(path_, GifReason(code));
            return Fail();
        }
        EGifSetGifVersion(file_, true);
        // The screen, then the application block that makes viewers loop forever.
        static const GifByteType Loop[3] = {1, 0, 0};
        bool ok = EGifPutScreenDesc(file_, width_, height_, 8, 0, nullptr) == GIF_OK &&
                  EGifPutExtensionLeader(file_, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
                  EGifPutExtensionBlock(file_, 11, "NETSCAPE2.0") == GIF_OK &&
                  EGifPutExtensionBlock(file_, 3, Loop) == GIF_OK && EGifPutExtensionTrailer(file_) == GIF_OK;
        if (!ok) {
            error = CannotWrite(path_, GifReason(file_->Error));
            return Fail();
        }
        return true;
    }

    bool Fail()
    {
        if (file_) {
            int ignored;
            EGifCloseFile(file_, &ignored);
            file_ = nullptr;
        }
        output_.Abandon();
        return false;
    }

    PendingOutput output_;
    GifFileType *file_ = nullptr;
};

// ---- WebP: libwebp's animation encoder, which keeps only what changes
// between frames; the file is assembled at the end.

class WebpWriter final : public AnimationWriter {
public:
    WebpWriter(const std::string &path, double fps) : AnimationWriter(path, fps) {}

    bool Finish(std::string &error) override
    {
        if (!encoder_) {
            error = "no frame was finished, so no animation was written";
            return false;
        }
        WebPData data;
        WebPDataInit(&data);
        bool ok = WebPAnimEncoderAdd(encoder_.get(), nullptr, timestamp_, nullptr) &&
                  WebPAnimEncoderAssemble(encoder_.get(), &data);
        if (!ok) {
            error = std::string("WebP encoding failed: ") + WebPAnimEncoderGetError(encoder_.get());
            return false;
        }
        std::string reason;
        ok = WriteAll(output_.Descriptor(), data.bytes, data.size);
        if (!ok)
            reason = std::strerror(errno);
        else
            ok = output_.Commit(reason);
        WebPDataClear(&data);
        encoder_.reset();
        if (!ok) {
            output_.Abandon();
            error = CannotWrite(path_, reason);
        }
        return ok;
    }

protected:
    bool Encode(const Image &frame, std::string &error) override
    {
        if (!encoder_) {
            // The file is opened at once, so that a path that cannot be
            // written stops the run before its frames are drawn.
            output_ = PendingOutput::Open(path_, error);
            if (!output_.IsOpen())
                return false;
            WebPAnimEncoderOptions options;
            if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config_)) {
                error = "the WebP library does not match its headers";
                return false;
            }
            options.anim_params.loop_count = 0;
            config_.quality = 90;
            config_.method = 2;
            encoder_.reset(WebPAnimEncoderNew(width_, height_, &options));
            if (!encoder_) {
                error = "the WebP encoder could not start";
                return false;
            }
        }
        // The encoder counts time in an int of milliseconds: about 24 days.
        if (timestamp_ > std::numeric_limits<int>::max() - FrameDuration(frames_, fps_, 1000)) {
            error = "a WebP animation lasts at most 24 days; use a higher --fps or fewer frames";
            return false;
        }
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) {
            error = "the WebP library does not match its headers";
            return false;
        }
        picture.use_argb = 1;
        picture.width = width_;
        picture.height = height_;
        bool ok = WebPPictureImportRGBX(&picture, reinterpret_cast<const uint8_t *>(frame.pixels.data()), width_ * 4) &&
                  WebPAnimEncoderAdd(encoder_.get(), &picture, timestamp_, &config_);
        WebPPictureFree(&picture);
        if (!ok) {
            error = std::string("WebP encoding failed: ") + WebPAnimEncoderGetError(encoder_.get());
            return false;
        }
        timestamp_ += FrameDuration(frames_, fps_, 1000);
        return true;
    }

private:
    std::unique_ptr<WebPAnimEncoder, void (*)(WebPAnimEncoder *)> encoder_{nullptr, WebPAnimEncoderDelete};
    WebPConfig config_{};
    int timestamp_ = 0;
    PendingOutput output_;
};

// ---- MP4: frames piped as raw RGB to ffmpeg, which encodes H.264.

// Whether descriptor holds a whole MP4 file: top-level boxes that fill it
// exactly, one of them the index (moov) that is written last. ffmpeg may
// report success when the end of the file could not be written.
bool WholeMp4(int descriptor)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0)
        return false;
    const uint64_t size = uint64_t(status.st_size);
    uint64_t offset = 0;
    bool index = false;
    while (offset < size) {
        unsigned char head[16];
        if (size - offset < 8 || pread(descriptor, head, sizeof head, off_t(offset)) < 8)
            return false;
        uint64_t length = uint64_t(head[0]) << 24 | uint64_t(head[1]) << 16 | uint64_t(head[2]) << 8 | head[3];
        if (length == 1) {
            if (size - offset < 16)
                return false;
            length = 0;
            for (int i = 8; i < 16; i++)
                length = length << 8 | head[i];
        } else if (length == 0) {
            length = size - offset; // the last box runs to the end
        }
        if (length < 8 || length > size - offset)
            return false;
        index = index || std::memcmp(head + 4, "moov", 4) == 0;
        offset += length;
    }
    return index;
}

constexpr const char *Mp4NeedsAFile = "an .mp4 video is finished by going back in its file, so it needs an "
                                      "ordinary file; write .gif or .webp to a device or a pipe";

class Mp4Writer final : public AnimationWriter {
public:
    Mp4Writer(const std::string &path, double fps) : AnimationWriter(path, fps) {}
    ~Mp4Writer() override
    {
        if (pid_ > 0)
            Close();
    }

    bool Finish(std::string &error) override
    {
        if (pid_ <= 0) {
            error = "no frame was finished, so no animation was written";
            return false;
        }
        int status = Close();
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            output_.Abandon();
            error = "ffmpeg could not write " + path_ + " (it said why above)";
            return false;
        }
        if (!WholeMp4(output_.Descriptor())) {
            output_.Abandon();
            error = "ffmpeg could not finish " + path_ + " (it said why above)";
            return false;
        }
        return CommitAnimation(output_, path_, error);
    }

protected:
    bool Encode(const Image &frame, std::string &error) override
    {
        if (pid_ <= 0 && !Start(error))
            return false;
        if (!WriteAll(pipe_, frame.pixels.data(), frame.pixels.size() * 4)) {
            Close();
            output_.Abandon();
            error = "ffmpeg stopped taking frames for " + path_;
            return false;
        }
        return true;
    }

private:
    bool Start(std::string &error)
    {
        output_ = PendingOutput::Open(path_, error);
        if (!output_.IsOpen())
            return false;
        if (!output_.Seekable()) {
            output_.Abandon();
            error = CannotWrite(path_, Mp4NeedsAFile);
            return false;
        }
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            error = "cannot start ffmpeg: no pipe";
            return false;
        }
        char size[32], rate[32];
        std::snprintf(size, sizeof size, "%dx%d", width_, height_);
        // A fraction, which ffmpeg takes at any rate down to one frame an hour.
        std::snprintf(rate, sizeof rate, "%lld/1000000", std::max(1LL, std::llround(fps_ * 1e6)));
        // H.264 in 4:2:0 wants even sides: odd ones get a white edge.
        std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                         "-f", "rawvideo", "-pix_fmt", "rgb0", "-s", size, "-framerate", rate,
                                         "-i", "pipe:0", "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2:color=white",
                                         "-c:v", "libx264", "-preset", "fast", "-crf", "20", "-pix_fmt", "yuv420p",
                                         "-movflags", "+faststart", "-f", "mp4", "/dev/fd/3"};
        // ffmpeg writes the temporary file through the descriptor, never by
        // a name: a run ended by a signal removes that name, and ffmpeg must
        // not create it again.
        auto child = StartChild(args, {{ends[0], STDIN_FILENO}, {output_.Descriptor(), 3}}, error);
        close(ends[0]);
        if (!child) {
            close(ends[1]);
            pid_ = -1;
            return false;
        }
        pid_ = *child;
        pipe_ = ends[1];
        // A write to an ffmpeg that has given up must fail, not end this program.
        WritesFailInsteadOfEnding();
        return true;
    }

    // Ends the input and waits for ffmpeg; its wait status.
    int Close()
    {
        if (pipe_ >= 0)
            close(pipe_);
        pipe_ = -1;
        int status = WaitForChild(pid_);
        pid_ = -1;
        return status;
    }

    PendingOutput output_;
    pid_t pid_ = -1;
    int pipe_ = -1;
};

// Whether path names something an MP4 cannot be written to in place.
bool NotAFile(const std::string &path)
{
    struct stat status {};
    return path == "-" || (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode));
}

} // namespace

std::optional<AnimationFormat> AnimationFormatOf(const std::string &path)
{
    std::string extension = LowerExtension(path);
    if (extension == ".gif")
        return AnimationFormat::Gif;
    if (extension == ".webp")
        return AnimationFormat::Webp;
    if (extension == ".mp4")
        return AnimationFormat::Mp4;
    return std::nullopt;
}

int FrameDuration(int index, double fps, int unitsPerSecond)
{
    auto at = [&](int frame) { return std::llround(frame * unitsPerSecond / fps); };
    return int(std::max<long long>(1, at(index + 1) - at(index)));
}

double SlowestFps(AnimationFormat format)
{
    switch (format) {
    case AnimationFormat::Gif:
        return 100.0 / 65535;
    case AnimationFormat::Webp:
        return 1000.0 / 16777215;
    case AnimationFormat::Mp4:
        return 1.0 / 3600;
    }
    return 1;
}

double HeldFps(AnimationFormat format, double fps) { return std::max(fps, SlowestFps(format)); }

std::string LongestFrame(AnimationFormat format)
{
    switch (format) {
    case AnimationFormat::Gif:
        return "a GIF frame lasts at most 655.35 s";
    case AnimationFormat::Webp:
        return "a WebP frame lasts at most 16777.215 s";
    case AnimationFormat::Mp4:
        return "an MP4 frame is held at most 3600 s";
    }
    return {};
}

std::unique_ptr<AnimationWriter> AnimationWriter::Open(const std::string &path, double fps, std::string &error)
{
    auto format = AnimationFormatOf(path);
    if (!format) {
        error = "an animation is written as .gif, .webp or .mp4, not " + path;
        return nullptr;
    }
    if (!(fps > 0 && fps <= MaxFps)) {
        error = "the frame rate must be above 0 and at most 120 frames per second";
        return nullptr;
    }
    fps = HeldFps(*format, fps);
    switch (*format) {
    case AnimationFormat::Gif:
        return std::unique_ptr<AnimationWriter>(new GifWriter(path, fps));
    case AnimationFormat::Webp:
        return std::unique_ptr<AnimationWriter>(new WebpWriter(path, fps));
    case AnimationFormat::Mp4:
        if (!ProgramOnPath("ffmpeg")) {
            error = "an .mp4 animation is encoded by the ffmpeg program, which is not installed "
                    "(on Debian: apt-get install ffmpeg); .gif and .webp need nothing more";
            return nullptr;
        }
        if (NotAFile(path)) {
            error = CannotWrite(path, Mp4NeedsAFile);
            return nullptr;
        }
        return std::unique_ptr<AnimationWriter>(new Mp4Writer(path, fps));
    }
    return nullptr;
}

bool AnimationWriter::Add(const Image &frame, std::string &error)
{
    if (frame.Empty()) {
        error = "an empty frame cannot be animated";
        return false;
    }
    if (frames_ == 0) {
        width_ = frame.width;
        height_ = frame.height;
    }
    bool ok = frame.width == width_ && frame.height == height_ ? Encode(frame, error)
                                                                : Encode(Fitted(frame, width_, height_), error);
    if (ok)
        frames_++;
    return ok;
}

} // namespace tesselin
