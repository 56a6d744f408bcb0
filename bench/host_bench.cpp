// How fast the reference host is, and where its time goes.
//
//   host_bench [--runs N] [--frames N] [--bands N] [--section 1-4]
//
// 1. The demo from start to PNG: build/tesselin run examples/demo.tsl with
//    --timing, run N times as its own process; medians of the wall time and of
//    each phase the program reports.
// 2. PNG encoding of the demo's image at every zlib level: time and size.
// 3. A stereo frame against a mono frame of the same large scene (tori with
//    hundreds of thousands of facets in all, through the module's commands),
//    both 800 x 600, median over 3 rounds of N frames (each after one warm-up
//    frame), the kinds of frame taking turns; with the
//    eyes 0 apart the right eye must equal the left pixel for pixel. For
//    comparison the same scene compiled into a display list while drawing
//    (GL_COMPILE_AND_EXECUTE) and called again for the second eye.
// 4. Redrawing the last frame from its record with the camera turned, as a
//    window orbiting the scene does: the demo (mono and stereo) and a torus
//    of 500 000 facets at 800 x 600, frames per second.
#include "tests/shared/spawn.h"
#include "app/files/png.h"
#include "app/session/session.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct Quiet final : tesselin::MessageSink {
    void Line(const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

// Runs the program, returning its wall time and standard error.
double RunProgram(const std::vector<std::string> &args, std::string &err)
{
    std::string errPath = "/tmp/host_bench_stderr.txt";
    auto start = Clock::now();
    tests::RunChild(args, {"", "", errPath});
    double seconds = Seconds(start);
    std::ifstream in(errPath);
    std::ostringstream text;
    text << in.rdbuf();
    err = text.str();
    return seconds;
}

// The numbers of a "Timing:" line, in order of appearance.
std::vector<double> TimingNumbers(const std::string &err)
{
    std::vector<double> numbers;
    auto at = err.find("Timing:");
    if (at == std::string::npos)
        return numbers;
    const char *p = err.c_str() + at;
    while (*p && *p != '\n') {
        if ((*p >= '0' && *p <= '9')) {
            char *end;
            numbers.push_back(std::strtod(p, &end));
            p = end;
        } else {
            p++;
        }
    }
    return numbers;
}

void DemoFromStartToPng(int runs)
{
    std::string program = std::string(TESSELIN_BUILD_DIR) + "/tesselin";
    std::string demo = std::string(TESSELIN_SOURCE_DIR) + "/examples/demo.tsl";
    std::vector<double> wall;
    std::vector<std::vector<double>> phases;
    for (int i = 0; i < runs + 1; i++) {
        std::string err;
        double seconds = RunProgram({program, "run", demo, "-o", "/tmp/host_bench_demo.png", "--timing"}, err);
        if (i == 0)
            continue; // the first run warms the file cache
        wall.push_back(seconds * 1000);
        auto numbers = TimingNumbers(err);
        if (phases.empty())
            phases.resize(numbers.size());
        for (std::size_t k = 0; k < numbers.size() && k < phases.size(); k++)
            phases[k].push_back(numbers[k]);
    }
    std::printf("1. tesselin run examples/demo.tsl -o demo.png (800 x 600), median of %d runs\n", runs);
    std::printf("   wall time, process start to exit   %7.1f ms\n", Median(wall));
    const char *names[] = {"start-up", "  opening OpenGL (EGL, Mesa driver)", "  module and welcome canvas",
                           "commands", "  contexts and framebuffers", "  right-eye replay",
                           "  drawing finished and read back", "PNG encoding and writing"};
    for (std::size_t k = 0; k < phases.size() && k < std::size(names); k++)
        std::printf("   %-36s %7.1f ms\n", names[k], Median(phases[k]));
    double accounted = phases.size() >= 8 ? Median(phases[0]) + Median(phases[3]) + Median(phases[7]) : 0;
    std::printf("   %-36s %7.1f ms\n", "rest (exec, dynamic linking, exit)", Median(wall) - accounted);
}

void PngLevels()
{
    Quiet sink;
    tesselin::SessionOptions options;
    options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
    std::string error;
    auto session = tesselin::Session::Start(options, sink, error);
    if (!session) {
        std::printf("cannot start: %s\n", error.c_str());
        return;
    }
    std::ifstream in(std::string(TESSELIN_SOURCE_DIR) + "/examples/demo.tsl");
    std::ostringstream text;
    text << in.rdbuf();
    session->RunScript(text.str(), "demo.tsl");
    tesselin::Image image = session->Host().WindowCanvas()->Snapshot();
    std::printf("\n2. PNG of the demo image (800 x 600), median of 5 encodings\n");
    for (int level : {0, 1, 2, 3, 6, 9}) {
        std::vector<double> times;
        std::size_t bytes = 0;
        for (int i = 0; i < 5; i++) {
            auto start = Clock::now();
            auto png = tesselin::EncodePng(image, error, level);
            times.push_back(Seconds(start) * 1000);
            bytes = png ? png->size() : 0;
        }
        std::printf("   level %d%s %7.1f ms %8.1f KB\n", level, level == tesselin::DefaultPngLevel ? " (used)" : "       ",
                    Median(times), bytes / 1024.0);
    }
}

struct FrameResult {
    double median = 0;
    long long facets = 0;
    bool exact = true;
    std::size_t streamBytes = 0, heldBytes = 0;
};

std::vector<std::string> SceneLines(int bands)
{
    std::vector<std::string> lines = {"clear 0.1 0.1 0.15"};
    char line[128];
    for (int i = 0; i < 6; i++) {
        lines.push_back("push");
        std::snprintf(line, sizeof line, "move %d %d 0", (i % 3) * 6 - 6, (i / 3) * 6 - 3);
        lines.push_back(line);
        std::snprintf(line, sizeof line, "diffuse %.2f 0.5 %.2f", 0.3 + 0.1 * i, 0.8 - 0.1 * i);
        lines.push_back(line);
        lines.push_back("rotate 40 1 1 0");
        std::snprintf(line, sizeof line, "torus 1.5 0 360 %d x 360 %d x", bands, 2 * bands);
        lines.push_back(line);
        lines.push_back("pop");
    }
    return lines;
}

// One frame: the scene's lines, then finish (through the module).
FrameResult TimeFrames(const std::string &canvas, int frames, int bands, bool displayList)
{
    Quiet sink;
    tesselin::SessionOptions options;
    options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
    std::vector<tesselin::Image> lefts, rights;
    options.onFrame = [&](const tesselin::Image &left, const tesselin::Image *right) {
        lefts.push_back(left);
        if (right)
            rights.push_back(*right);
    };
    options.streamLimits.keepBytes = 0; // as tesselin run: no record kept for redrawing
    std::string error;
    auto session = tesselin::Session::Start(options, sink, error);
    FrameResult result;
    if (!session) {
        std::printf("cannot start: %s\n", error.c_str());
        return result;
    }
    session->RunLine(canvas, "bench");
    session->RunLine("light 1 1 2", "bench");
    session->RunLine("shine 40 1 1 1", "bench");
    auto lines = SceneLines(bands);
    std::vector<double> times;
    for (int frame = 0; frame <= frames; frame++) {
        auto start = Clock::now();
        if (displayList)
            glNewList(1, GL_COMPILE_AND_EXECUTE);
        for (const auto &line : lines)
            session->RunLine(line, "bench");
        if (displayList) {
            glEndList();
            // The first eye's frame, then the second eye from the list (the
            // projection change and state save/restore are left out: a floor).
            session->RunLine("finish", "bench");
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glCallList(1);
        }
        session->RunLine("finish", "bench");
        if (frame > 0)
            times.push_back(Seconds(start) * 1000);
    }
    for (const auto &line : sink.lines)
        std::printf("   (message: %s)\n", line.c_str());
    result.median = Median(times);
    result.streamBytes = session->Host().Times().largestStream;
    result.heldBytes = session->Host().Times().heldStream;
    result.facets = 6LL * bands * 2 * bands;
    for (std::size_t i = 0; i < rights.size() && i < lefts.size(); i++)
        result.exact = result.exact && lefts[i].pixels == rights[i].pixels;
    result.exact = result.exact && !rights.empty();
    return result;
}

void StereoAgainstMono(int frames, int bands)
{
    std::printf("\n3. One frame of %lld facets (6 tori), 800 x 600: median over 3 rounds of %d frames,\n"
                "   the kinds of frame taking turns so that they share the machine's load\n",
                6LL * bands * 2 * bands, frames);
    std::vector<double> mono, stereo, list;
    FrameResult last;
    for (int round = 0; round < 3; round++) {
        mono.push_back(TimeFrames("canvas 800 600 persp 30 1 100 30", frames, bands, false).median);
        last = TimeFrames("canvas 800 600 0 persp 30 1 100 30 0.8 0", frames, bands, false);
        stereo.push_back(last.median);
        list.push_back(TimeFrames("canvas 800 600 persp 30 1 100 30", frames, bands, true).median);
    }
    auto same = TimeFrames("canvas 800 600 0 persp 30 1 100 30 0 0", 1, bands, false);
    double m = Median(mono), s = Median(stereo), l = Median(list);
    std::printf("   mono frame                          %7.1f ms\n", m);
    std::printf("   stereo frame (record and replay)    %7.1f ms   %.2f x mono\n", s, s / m);
    std::printf("   recorded for the right eye          %7.1f MB per frame, at most %.1f MB held at once\n",
                last.streamBytes / 1048576.0, last.heldBytes / 1048576.0);
    std::printf("   eyes 0 apart: right eye equals left %s\n", same.exact ? "yes, pixel for pixel" : "NO");
    std::printf("   display list, compile+execute+call  %7.1f ms   %.2f x mono (no state save/restore)\n", l, l / m);
}

// CPU time of this process, all its threads, user and system.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Redraws of the last frame from its record with the camera turned a little
// each time, as a window orbiting the scene does; median of redraws.
void RedrawScene(const char *name, const std::string &script, int redraws)
{
    Quiet sink;
    tesselin::SessionOptions options;
    options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
    std::string error;
    auto session = tesselin::Session::Start(options, sink, error);
    if (!session) {
        std::printf("cannot start: %s\n", error.c_str());
        return;
    }
    auto start = Clock::now();
    session->RunScript(script, name);
    double scriptMs = Seconds(start) * 1000;
    std::vector<double> times;
    const tesselin::HostTimes before = session->Host().Times();
    const double cpuBefore = CpuSeconds();
    for (int i = 0; i <= redraws; i++) {
        tesselin::Camera camera;
        camera.azimuth = 5.0 * i;
        camera.elevation = 10;
        session->SetCamera(camera);
        start = Clock::now();
        if (!session->RedrawLastFrame()) {
            std::printf("   %-34s no record kept\n", name);
            return;
        }
        if (i > 0)
            times.push_back(Seconds(start) * 1000);
    }
    double ms = Median(times);
    const tesselin::HostTimes &after = session->Host().Times();
    double n = redraws + 1;
    std::printf("   %-34s %7.1f ms   %5.1f frames/s   (running the script: %.0f ms; record %.1f MB)\n", name, ms,
                1000 / ms, scriptMs, after.heldStream / 1048576.0);
    std::printf("   %-34s contexts %.1f ms, drawing finished and read back %.1f ms, CPU time (all threads) %.1f ms, "
                "on average\n",
                "", (after.contexts - before.contexts) * 1000 / n, (after.readBack - before.readBack) * 1000 / n,
                (CpuSeconds() - cpuBefore) * 1000 / n);
}

void RedrawSpeed(int redraws)
{
    std::printf("\n4. Redrawing the last frame with another camera from its record, 800 x 600,\n"
                "   median of %d redraws\n",
                redraws);
    std::ifstream demo(std::string(TESSELIN_SOURCE_DIR) + "/examples/demo.tsl");
    std::stringstream text;
    text << demo.rdbuf();
    RedrawScene("the demo (examples/demo.tsl)", text.str(), redraws);
    RedrawScene("torus of 500 000 facets",
                "canvas 800 600 persp 30 1 100 10\nclear 0.1 0.1 0.2\nlight -1 1 1\ndiffuse 0.8 0.3 0.2\n"
                "rotate -60 1 0 0\ntorus 2 0 360 500 x 360 1000 x\nfinish\n",
                redraws);
    RedrawScene("the demo in stereo (both eyes)",
                "canvas 800 600 0 persp 30 1 100 16 0.6 0\n" + text.str().substr(text.str().find("\n", text.str().find("canvas")) + 1),
                redraws);
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 10, frames = 3, bands = 200, section = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--frames"))
            frames = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--bands"))
            bands = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--section"))
            section = std::atoi(argv[i + 1]);
    }
    if (section == 0 || section == 1)
        DemoFromStartToPng(runs);
    if (section == 0 || section == 2)
        PngLevels();
    if (section == 0 || section == 3)
        StereoAgainstMono(frames, bands);
    if (section == 0 || section == 4)
        RedrawSpeed(std::max(runs, 5));
    return 0;
}
