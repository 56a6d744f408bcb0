// Writing what a run leaves: the canvas window as the output options
// compose it, the right eye, and the pair side by side, in a layout or as a
// stereo JPEG. The run itself is in session.cpp.
#include "app/session/outputs.h"
#include "app/process/output_file.h"
#include "app/files/image_file.h"
#include "app/files/mpo.h"
#include "app/files/png.h"
#include "app/process/stopwatch.h"
#include "app/session/session.h"

#include <cctype>
#include <filesystem>
#include <new>

namespace tesselin {

bool WriteImage(const std::string &path, const std::function<Image()> &image, std::string &error)
{
    try {
        return WriteImageFile(path, image(), error);
    } catch (const std::bad_alloc &) {
        error = "cannot write " + path + ": out of memory";
        return false;
    }
}

Image Session::WindowPicture(const std::string &shownIn)
{
    const Canvas *window = host_->WindowCanvas();
    if (!window)
        return {};
    if (!ComposesWindow())
        return window->Snapshot();
    const Canvas *right = host_->RightCanvas();
    auto left = host_->LeftEye();
    if (right && left && right != window)
        return StereoPicture(*left, right->Snapshot(), options_.look, false, scriptAnaglyph_);
    Report(Severity::Warning, "the anaglyph options need a stereo pair; " + shownIn + " shows the canvas window as it is");
    return window->Snapshot();
}

bool Session::WriteWindow(const std::string &path)
{
    where_.clear();
    const Canvas *window = host_->WindowCanvas();
    std::string error;
    if (!window) {
        Fail("cannot write " + path + ": there is no canvas");
        return false;
    }
    // The picture is made inside the write, so that running out of memory
    // for it is a failed write like any other.
    auto picture = [&] { return WindowPicture(path); };
    Stopwatch watch(times_.png);
    if (!WriteImage(path, picture, error)) {
        Fail(error);
        return false;
    }
    return true;
}

bool Session::WriteRight(const std::string &path)
{
    where_.clear();
    const Canvas *right = host_->RightCanvas();
    std::string error;
    if (!right) {
        Fail("cannot write " + path + ": there is no right canvas (the script made no stereo pair)");
        return false;
    }
    Stopwatch watch(times_.png);
    if (!WriteImage(path, [right] { return right->Snapshot(); }, error)) {
        Fail(error);
        return false;
    }
    return true;
}

// The left eye of the stereo pair an image at path is made of, and the right
// canvas in right; none, with the failure reported, when there is no pair.
std::optional<Image> Session::StereoPairFor(const std::string &path, const Canvas *&right)
{
    where_.clear();
    right = host_->RightCanvas();
    std::optional<Image> left;
    try {
        left = host_->LeftEye();
    } catch (const std::bad_alloc &) {
        Fail("cannot write " + path + ": out of memory");
        return std::nullopt;
    }
    if (!right || !left) {
        Fail("cannot write " + path + ": there is no stereo pair (the script made no right canvas)");
        return std::nullopt;
    }
    return left;
}

bool Session::WriteSideBySide(const std::string &path)
{
    const Canvas *right = nullptr;
    auto left = StereoPairFor(path, right);
    if (!left)
        return false;
    std::string error;
    Stopwatch watch(times_.png);
    if (!WriteImage(path, [&] { return SideBySidePicture(*left, right->Snapshot(), options_.look); }, error)) {
        Fail(error);
        return false;
    }
    return true;
}

bool Session::WritePair(const std::string &path)
{
    const Canvas *right = nullptr;
    auto left = StereoPairFor(path, right);
    if (!left)
        return false;
    std::string error;
    Stopwatch watch(times_.png);
    std::string extension = LowerExtension(path);
    bool ok;
    try {
        Image first = *left, second = right->Snapshot();
        StereoLook look = options_.look;
        look.layout = look.layout.value_or(StereoLayout::Parallel);
        if (extension == ".mpo") {
            OrderEyes(first, second, look);
            ok = WriteMpo(path, first, second, error);
        } else {
            ok = WriteImageFile(path, StereoPicture(std::move(first), std::move(second), look, true, std::nullopt), error);
        }
    } catch (const std::bad_alloc &) {
        error = "cannot write " + path + ": out of memory";
        ok = false;
    }
    if (!ok) {
        Fail(error);
        return false;
    }
    return true;
}

bool Session::WriteOutputs(const Outputs &outputs)
{
    bool ok = true;
    if (!outputs.window.empty())
        ok = WriteWindow(outputs.window) && ok;
    if (!outputs.right.empty())
        ok = WriteRight(outputs.right) && ok;
    if (!outputs.sideBySide.empty())
        ok = WriteSideBySide(outputs.sideBySide) && ok;
    if (!outputs.pair.empty())
        ok = WritePair(outputs.pair) && ok;
    return FinishAnimation() && ok;
}

} // namespace tesselin
