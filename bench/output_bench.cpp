// What the host's output options cost.
//
//   output_bench [--runs N] [--frames N]
//
// 1. Multisampling: the demo from start to PNG (build/tesselin run, its own
//    process, median of N runs) at 1, 2, 4 and 8 samples per pixel; and one
//    frame of a 500 000-facet torus at 800 x 600, mono and stereo (in this
//    process, median of N frames after a warm-up frame), at 1 and 4 samples.
// 2. Composing and writing: each anaglyph method, each layout, the stereo
//    JPEG and a PNG for comparison, on the two eyes of the demo drawn as a
//    stereo pair at 800 x 600 (median of N calls each).
// 3. Animations: 60 frames of 800 x 600 (the turntable scene, drawn once and
//    kept), encoded as GIF, WebP and MP4 (when ffmpeg is installed): time
//    and file size.
// Times are processor time (all threads, Mesa's rendering threads and ffmpeg
// included), which a shared, busy machine disturbs far less than wall time.
#include "tests/shared/spawn.h"
#include "app/picture/anaglyph.h"
#include "app/files/animation.h"
#include "app/files/mpo.h"
#include "app/files/png.h"
#include "app/session/session.h"
#include "app/picture/layout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using tesselin::Image;

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Processor time of this process and its finished children, in ms.
double CpuNow()
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(self.ru_utime) + ms(self.ru_stime) + ms(children.ru_utime) + ms(children.ru_stime);
}

struct CpuMark {
    double at = CpuNow();
};

double Milliseconds(CpuMark since) { return CpuNow() - since.at; }

struct Quiet final : tesselin::MessageSink {
    void Line(const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

double RunProgram(const std::vector<std::string> &args)
{
    CpuMark start;
    tests::RunChild(args, {"", "", "/dev/null"});
    return Milliseconds(start);
}

std::string Source(const std::string &path) { return std::string(TESSELIN_SOURCE_DIR) + "/" + path; }

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The demo with its canvas made a stereo pair, written beside the build.
std::string StereoDemo()
{
    std::string text = ReadFile(Source("examples/demo.tsl"));
    const std::string canvas = "canvas 800 600 persp 30 1 100 16";
    text.replace(text.find(canvas), canvas.size(), "canvas 800 600 0 persp 30 1 100 16 0.5 0");
    std::string path = std::string(TESSELIN_BUILD_DIR) + "/output_bench_stereo_demo.tsl";
    std::ofstream(path) << text;
    return path;
}

void DemoAtSamples(int runs)
{
    std::printf("1. Multisampling\n   the demo from start to PNG, median of %d runs:\n", runs);
    std::string program = std::string(TESSELIN_BUILD_DIR) + "/tesselin";
    std::string out = std::string(TESSELIN_BUILD_DIR) + "/output_bench.png";
    double base = 0;
    for (int samples : {1, 2, 4, 8}) {
        std::vector<double> times;
        for (int i = 0; i < runs; i++)
            times.push_back(RunProgram({program, "run", Source("examples/demo.tsl"), "-o", out, "--samples",
                                        std::to_string(samples)}));
        double m = Median(times);
        base = samples == 1 ? m : base;
        std::printf("     %d sample%s %7.1f ms   %.2f x\n", samples, samples > 1 ? "s" : " ", m, m / base);
    }
}

// One frame of the big torus: median of frames after one warm-up.
double TorusFrame(bool stereo, int samples, int frames)
{
    Quiet sink;
    tesselin::SessionOptions options;
    options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
    options.samples = samples;
    std::string error;
    auto session = tesselin::Session::Start(options, sink, error);
    if (!session) {
        std::printf("cannot start: %s\n", error.c_str());
        return 0;
    }
    session->RunLine(stereo ? "canvas 800 600 0 persp 30 1 100 12 0.5 0" : "canvas 800 600 persp 30 1 100 12", "bench");
    session->RunLine("light 1 1 2", "bench");
    session->RunLine("rotate 50 1 0.3 0", "bench");
    std::vector<double> times;
    for (int frame = 0; frame <= frames; frame++) {
        CpuMark start;
        session->RunLine("clear 0.1 0.1 0.15", "bench");
        session->RunLine("torus 2 0 360 500 x 360 1000 x", "bench"); // 500 000 facets
        session->RunLine("finish", "bench");
        if (frame > 0)
            times.push_back(Milliseconds(start));
    }
    return Median(times);
}

void TorusAtSamples(int frames)
{
    std::printf("   one frame of a 500 000-facet torus, 800 x 600, median of %d frames:\n", frames);
    for (bool stereo : {false, true}) {
        double one = TorusFrame(stereo, 1, frames), four = TorusFrame(stereo, 4, frames);
        std::printf("     %-6s 1 sample %7.1f ms   4 samples %7.1f ms   %.2f x\n", stereo ? "stereo" : "mono", one,
                    four, four / one);
    }
}

double TimeIt(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        CpuMark start;
        work();
        times.push_back(Milliseconds(start));
    }
    return Median(times);
}

void Composing(int runs, const std::string &stereoDemo)
{
    Quiet sink;
    tesselin::SessionOptions options;
    options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
    Image left, right;
    options.onFrame = [&](const Image &l, const Image *r) {
        left = l;
        if (r)
            right = *r;
    };
    std::string error;
    auto session = tesselin::Session::Start(options, sink, error);
    if (!session)
        return;
    session->RunScript(ReadFile(stereoDemo), "demo");
    std::printf("\n2. Composing and writing the demo's two 800 x 600 eyes, median of %d:\n", runs);
    for (auto method : {tesselin::AnaglyphMethod::Color, tesselin::AnaglyphMethod::HalfColor,
                        tesselin::AnaglyphMethod::Gray, tesselin::AnaglyphMethod::Dubois,
                        tesselin::AnaglyphMethod::GreenMagenta, tesselin::AnaglyphMethod::AmberBlue}) {
        double ms = TimeIt(runs, [&] { tesselin::ComposeAnaglyphImage(left, right, method); });
        std::printf("     --anaglyph %-14s %6.1f ms\n", std::string(tesselin::NameOf(method)).c_str(), ms);
    }
    for (auto layout : {tesselin::StereoLayout::Parallel, tesselin::StereoLayout::CrossEyed,
                        tesselin::StereoLayout::OverUnder, tesselin::StereoLayout::HalfWidth,
                        tesselin::StereoLayout::HalfHeight}) {
        double ms = TimeIt(runs, [&] { tesselin::ArrangePair(left, right, layout); });
        std::printf("     --layout %-16s %6.1f ms\n", std::string(tesselin::NameOf(layout)).c_str(), ms);
    }
    std::size_t mpoBytes = 0, pngBytes = 0;
    double mpo = TimeIt(runs, [&] { mpoBytes = tesselin::EncodeMpo(left, right, error)->size(); });
    Image pair = tesselin::ArrangePair(left, right, tesselin::StereoLayout::Parallel);
    double png = TimeIt(runs, [&] { pngBytes = tesselin::EncodePng(pair, error)->size(); });
    std::printf("     stereo JPEG (.mpo)            %6.1f ms  %7zu KB\n", mpo, mpoBytes / 1024);
    std::printf("     parallel pair as PNG          %6.1f ms  %7zu KB\n", png, pngBytes / 1024);
}

void Animations()
{
    // The turntable at 800 x 600, its 36 frames and then 24 of them again.
    std::string text = ReadFile(Source("examples/turntable.tsl"));
    const std::string canvas = "canvas 480 360";
    text.replace(text.find(canvas), canvas.size(), "canvas 800 600");
    Quiet sink;
    tesselin::SessionOptions options;
    options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
    std::vector<Image> frames;
    options.onFrame = [&](const Image &l, const Image *) { frames.push_back(l); };
    std::string error;
    auto session = tesselin::Session::Start(options, sink, error);
    if (!session)
        return;
    session->RunScript(text, "turntable");
    for (std::size_t i = 0; frames.size() < 60; i++)
        frames.push_back(frames[i]);
    frames.resize(60);
    std::printf("\n3. Encoding a 60-frame 800 x 600 animation (the turntable), 25 frames per second:\n");
    for (const char *extension : {".gif", ".webp", ".mp4"}) {
        std::string path = std::string(TESSELIN_BUILD_DIR) + "/output_bench" + extension;
        CpuMark start;
        auto writer = tesselin::AnimationWriter::Open(path, 25, error);
        bool ok = writer != nullptr;
        for (const Image &frame : frames)
            ok = ok && writer->Add(frame, error);
        ok = ok && writer->Finish(error);
        double ms = Milliseconds(start);
        if (!ok) {
            std::printf("     %-5s not written: %s\n", extension, error.c_str());
            continue;
        }
        std::printf("     %-5s %7.0f ms  (%5.1f ms a frame)  %7ju KB\n", extension, ms, ms / 60,
                    std::uintmax_t(std::filesystem::file_size(path) / 1024));
    }
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 7, frames = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--frames"))
            frames = std::atoi(argv[i + 1]);
    }
    std::string stereoDemo = StereoDemo();
    DemoAtSamples(runs);
    TorusAtSamples(frames);
    Composing(runs, stereoDemo);
    Animations();
    return 0;
}
