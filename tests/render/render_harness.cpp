#include "tests/render/render_harness.h"
#include "app/files/png.h"
#include "app/process/line_reader.h"
#include "app/picture/stereo_pair.h"
#include "tests/shared/spawn.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace render {

Box Whole(const Image &image) { return {0, 0, image.width, image.height}; }

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
           std::abs(Blue(a) - Blue(b)) <= tolerance;
}

namespace {

Box Clip(const Image &image, std::optional<Box> box)
{
    Box b = box.value_or(Whole(image));
    b.left = std::max(b.left, 0);
    b.top = std::max(b.top, 0);
    b.right = std::min(b.right, image.width);
    b.bottom = std::min(b.bottom, image.height);
    return b;
}

template <typename Keep> Blob Collect(const Image &image, std::optional<Box> box, Keep keep)
{
    Box b = Clip(image, box);
    Blob blob;
    blob.bounds = {b.right, b.bottom, b.left, b.top};
    double sx = 0, sy = 0;
    for (int y = b.top; y < b.bottom; y++)
        for (int x = b.left; x < b.right; x++) {
            if (!keep(image.At(x, y)))
                continue;
            blob.count++;
            sx += x;
            sy += y;
            blob.bounds.left = std::min(blob.bounds.left, x);
            blob.bounds.top = std::min(blob.bounds.top, y);
            blob.bounds.right = std::max(blob.bounds.right, x + 1);
            blob.bounds.bottom = std::max(blob.bounds.bottom, y + 1);
        }
    if (blob.count) {
        blob.x = sx / blob.count;
        blob.y = sy / blob.count;
    } else {
        blob.bounds = {};
    }
    return blob;
}

} // namespace

long CountNear(const Image &image, uint32_t colour, int tolerance, std::optional<Box> box)
{
    return FindNear(image, colour, tolerance, box).count;
}

Blob FindNear(const Image &image, uint32_t colour, int tolerance, std::optional<Box> box)
{
    return Collect(image, box, [&](uint32_t pixel) { return Near(pixel, colour, tolerance); });
}

Blob FindUnlike(const Image &image, uint32_t background, int tolerance, std::optional<Box> box)
{
    return Collect(image, box, [&](uint32_t pixel) { return !Near(pixel, background, tolerance); });
}

std::string Describe(uint32_t colour)
{
    return "rgb(" + std::to_string(Red(colour)) + ", " + std::to_string(Green(colour)) + ", " +
           std::to_string(Blue(colour)) + ")";
}

bool RenderResult::Said(std::string_view fragment) const
{
    for (const auto &message : messages)
        if (message.find(fragment) != std::string::npos)
            return true;
    return false;
}

std::string RenderResult::AllMessages() const
{
    std::string all;
    for (const auto &message : messages)
        all += message + "\n";
    return all;
}

class RenderSession::Collector final : public tesselin::MessageSink {
public:
    void Line(const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
    std::vector<Image> frames, rightFrames;
};

RenderSession::RenderSession(const RenderOptions &options)
    : options_(options), collector_(std::make_unique<Collector>())
{
    tesselin::SessionOptions sessionOptions;
    sessionOptions.modulePath = options.module.empty() ? ModulePath() : options.module;
    sessionOptions.useClipboard = false;
    sessionOptions.framesPrefix = options.framesPrefix;
    sessionOptions.camera = options.camera;
    sessionOptions.streamLimits = options.streamLimits;
    sessionOptions.copyBeside = ScratchDirectory() + "/copy.png";
    Collector *collector = collector_.get();
    sessionOptions.onFrame = [collector](const Image &left, const Image *right) {
        collector->frames.push_back(left);
        if (right)
            collector->rightFrames.push_back(*right);
    };
    std::string error;
    session_ = tesselin::Session::Start(sessionOptions, *collector_, error);
    if (!session_)
        throw std::runtime_error("the host cannot start: " + error);
}

RenderSession::~RenderSession() = default;

std::string RenderSession::Command(std::string_view line)
{
    std::size_t before = collector_->lines.size();
    session_->RunLine(line, options_.name + ":" + std::to_string(++line_));
    std::string said;
    for (std::size_t i = before; i < collector_->lines.size(); i++)
        said += (said.empty() ? "" : "\n") + collector_->lines[i];
    return said;
}

RenderResult RenderSession::Finish()
{
    RenderResult result;
    session_->EndOfInput(options_.name);
    tesselin::CanvasHost &host = session_->Host();
    result.stopped = session_->Stopped();
    if (const tesselin::Canvas *window = host.WindowCanvas())
        result.window = window->Snapshot();
    if (const tesselin::Canvas *right = host.RightCanvas()) {
        result.right = right->Snapshot();
        if (auto left = host.LeftEye())
            result.sideBySide = tesselin::SideBySidePicture(*left, result.right, {});
    }
    result.status = session_->ExitStatus();
    session_.reset();
    result.messages = collector_->lines;
    result.frames = std::move(collector_->frames);
    result.rightFrames = std::move(collector_->rightFrames);
    return result;
}

RenderResult RenderScript(std::string_view script, const RenderOptions &options)
{
    RenderSession session(options);
    tesselin::TextLines lines(script);
    while (auto line = lines.Next()) {
        session.Command(*line);
        if (session.Session().Stopped())
            break;
    }
    return session.Finish();
}

void RenderSession::Lines(std::string_view script)
{
    tesselin::TextLines lines(script);
    while (auto line = lines.Next())
        Command(*line);
}

std::string ModulePath() { return TESSELIN_MODULE_PATH; }
std::string ProgramPath() { return TESSELIN_PROGRAM_PATH; }

namespace {

// This process's scratch files, removed when the process ends.
struct ScratchRoot {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tesselin-render-" + std::to_string(getpid()));
    ~ScratchRoot()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

ScratchRoot &Root()
{
    static ScratchRoot root;
    return root;
}

// The tests, the host code they run in process and every program they start
// keep their home, state and configuration under the scratch folder, so no
// test writes into the home of whoever runs them (the command window keeps
// its history in the state folder). The cache (Mesa's compiled shaders) is
// kept beside the program in the build, so that it outlives one test program
// and a program does not start slower for compiling them again. Set before
// any test starts.
[[maybe_unused]] const bool HomeInScratch = [] {
    const std::filesystem::path home = Root().path / "home";
    const std::pair<const char *, std::filesystem::path> folders[] = {
        {"HOME", home},
        {"XDG_STATE_HOME", home / ".local/state"},
        {"XDG_CONFIG_HOME", home / ".config"},
        {"XDG_CACHE_HOME", std::filesystem::path(TESSELIN_PROGRAM_PATH).parent_path() / "Testing/cache"},
        {"XDG_DATA_HOME", home / ".local/share"},
    };
    for (const auto &[name, folder] : folders) {
        std::filesystem::create_directories(folder);
        setenv(name, folder.c_str(), 1);
    }
    return true;
}();

} // namespace

std::string ScratchDirectory()
{
    ScratchRoot &root = Root();
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "harness";
    auto directory = root.path / name;
    std::filesystem::create_directories(directory);
    return directory.string();
}

namespace {

std::string ReadAll(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

ProgramResult RunTesselin(const std::vector<std::string> &args, std::string_view input)
{
    std::string directory = ScratchDirectory();
    std::string in = directory + "/stdin.txt", out = directory + "/stdout.txt", err = directory + "/stderr.txt";
    std::ofstream(in, std::ios::binary) << input;
    std::vector<std::string> argv = {ProgramPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    ProgramResult result;
    if (int status = tests::RunChild(argv, {in, out, err}); status >= 0)
        result.status = status;
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
}

std::optional<Image> LoadPng(const std::string &path)
{
    std::string error;
    return tesselin::ReadPng(path, error);
}

} // namespace render
