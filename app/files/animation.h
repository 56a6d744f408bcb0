// Animations: every finished frame of a run into one file, as an animated
// GIF, an animated WebP or (through the ffmpeg program) an MP4 video.
#ifndef TESSELIN_APP_FILES_ANIMATION_H
#define TESSELIN_APP_FILES_ANIMATION_H

#include "app/picture/image.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesselin {

enum class AnimationFormat { Gif, Webp, Mp4 };

// The format a file name asks for by its extension; none for another.
std::optional<AnimationFormat> AnimationFormatOf(const std::string &path);

inline constexpr double DefaultFps = 25;
inline constexpr double MaxFps = 120;

// How long frame number index (from 0) is shown, in units per second,
// so that the frames' times add up without drift: GIF counts hundredths,
// WebP thousandths.
// Never 0: a frame shorter than one unit lasts one.
int FrameDuration(int index, double fps, int unitsPerSecond);

// The slowest frame rate a format can hold: a GIF frame lasts at most 65535
// hundredths, a WebP frame 2^24 - 1 thousandths; an MP4 is held at one frame
// an hour.
double SlowestFps(AnimationFormat format);
// What the format can hold of fps: raised to SlowestFps when slower.
double HeldFps(AnimationFormat format, double fps);
// The longest frame of a format, in words, for a warning.
std::string LongestFrame(AnimationFormat format);

// Takes frames one by one and writes them as they come where the format
// allows. The first frame fixes the size; a later frame of another size is
// cut or padded with white to it.
class AnimationWriter {
public:
    // Opens the file (or the encoder program); none with the reason in error.
    static std::unique_ptr<AnimationWriter> Open(const std::string &path, double fps, std::string &error);
    virtual ~AnimationWriter() = default;

    bool Add(const Image &frame, std::string &error);
    // Completes the file; with no frame at all, nothing is written and
    // the reason is in error.
    virtual bool Finish(std::string &error) = 0;
    int Frames() const { return frames_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

protected:
    AnimationWriter(std::string path, double fps) : path_(std::move(path)), fps_(fps) {}
    // Encodes one frame of the fixed size.
    virtual bool Encode(const Image &frame, std::string &error) = 0;
    std::string path_;
    double fps_;
    int frames_ = 0;
    int width_ = 0, height_ = 0;
};

} // namespace tesselin

#endif
