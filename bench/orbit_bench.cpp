// How fast the live window turns a scene: frames per second while orbiting.
//
//   orbit_bench [--frames N] [--blocks N] [--runs N] [--window]
//
// For each scene, the script runs once, then the camera turns N times by 4
// degrees of azimuth and 1 of elevation, each turn giving the pictures the
// window shows (the same SceneRunner::Turn the window's drag calls: the
// last frame redrawn where the host kept it, else the script run again).
// Reported: median and mean frames per second over the turns (wall time),
// the frames per second the process's processor time would allow (all its
// threads, Mesa's included; steadier than wall time on a busy machine), and
// how many were redrawn rather than run again, and how many of those into
// the contexts that drew the frame, reset, rather than new ones. With
// --window (and a display) every picture is also shown in a window, as
// dragging shows it.
//
// Scenes: the demo (examples/demo.tsl, 800 x 600) and one torus of
// 500 x 1000 bands = 500 000 facets at 800 x 600.
//
// For the torus the bench also draws a torus of as many facets (major radius
// 2, tube 1, normals per vertex, one light) from one buffer object in one
// context, turning it the same way and reading every frame back: what a
// redraw at the rasteriser's limit costs on this machine. The two take turns
// in blocks (--blocks, of a quarter of --frames turns each), so that both
// meet the same load, and the ratio is that of the medians over all blocks.
// Last, tesselin run of the torus script to a PNG against the same buffer
// torus drawn once to a PNG (orbit_bench --buffer-frame FILE), whole
// processes taking turns.
#include "app/view/window.h"
#include "app/files/png.h"
#include "tests/shared/spawn.h"
#include "app/gl/boundary.h"
#include "app/gl/device.h"
#include "app/view/script_runner.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <memory>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <ctime>
#include <sys/resource.h>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ProcessorSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Quiet final : tesselin::MessageSink {
    void Line(const std::string &text) override { std::fprintf(stderr, "  (%s)\n", text.c_str()); }
};

// Positions and normals of a torus of bands x segments quads, as GL_QUADS.
std::vector<float> TorusQuads(int bands, int segments)
{
    std::vector<float> data;
    data.reserve(std::size_t(bands) * segments * 4 * 6);
    auto vertex = [&](int band, int segment) {
        double u = 2 * M_PI * band / bands, v = 2 * M_PI * segment / segments;
        double nx = std::cos(u) * std::cos(v), ny = std::sin(u), nz = std::cos(u) * std::sin(v);
        double rx = (2 + std::cos(u)) * std::cos(v), rz = (2 + std::cos(u)) * std::sin(v);
        for (double value : {rx, ny, rz, nx, ny, nz})
            data.push_back(float(value));
    };
    for (int segment = 0; segment < segments; segment++)
        for (int band = 0; band < bands; band++) {
            vertex(band, segment);
            vertex(band + 1, segment);
            vertex(band + 1, segment + 1);
            vertex(band, segment + 1);
        }
    return data;
}

template <typename P> P Entry(tesselin::gl::Fn fn) { return reinterpret_cast<P>(tesselin::gl::RealEntry(fn)); }
#define REAL(name) Entry<decltype(&::name)>(tesselin::gl::Fn::name)

// The torus of Orbit's script in one buffer object, lit as the script lights
// it, in target (current afterwards); how many vertices it has.
GLsizei LoadBufferTorus()
{
    auto genBuffers = reinterpret_cast<PFNGLGENBUFFERSPROC>(eglGetProcAddress("glGenBuffers"));
    auto bindBuffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(eglGetProcAddress("glBindBuffer"));
    auto bufferData = reinterpret_cast<PFNGLBUFFERDATAPROC>(eglGetProcAddress("glBufferData"));
    std::vector<float> mesh = TorusQuads(500, 1000);
    GLuint buffer = 0;
    genBuffers(1, &buffer);
    bindBuffer(GL_ARRAY_BUFFER, buffer);
    bufferData(GL_ARRAY_BUFFER, GLsizeiptr(mesh.size() * sizeof(float)), mesh.data(), GL_STATIC_DRAW);
    REAL(glEnableClientState)(GL_VERTEX_ARRAY);
    REAL(glEnableClientState)(GL_NORMAL_ARRAY);
    REAL(glVertexPointer)(3, GL_FLOAT, 24, nullptr);
    REAL(glNormalPointer)(GL_FLOAT, 24, reinterpret_cast<const void *>(12));
    REAL(glEnable)(GL_DEPTH_TEST);
    REAL(glEnable)(GL_LIGHTING);
    REAL(glEnable)(GL_LIGHT0);
    const float light[4] = {-1, 1, 1, 0}, diffuse[4] = {0.8f, 0.5f, 0.3f, 1};
    REAL(glLightfv)(GL_LIGHT0, GL_POSITION, light);
    REAL(glMaterialfv)(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    REAL(glMatrixMode)(GL_PROJECTION);
    REAL(glLoadIdentity)();
    REAL(glFrustum)(-0.3573, 0.3573, -0.2679, 0.2679, 1, 100); // 30 degrees high, 4:3
    return GLsizei(mesh.size() / 6);
}

// Draws the buffer torus turned by turn steps of Orbit's and reads it back.
void DrawBufferTorus(tesselin::GlTarget &target, GLsizei vertices, int turn, uint32_t *pixels)
{
    REAL(glClearColor)(0.1f, 0.1f, 0.15f, 1);
    REAL(glClear)(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    REAL(glMatrixMode)(GL_MODELVIEW);
    REAL(glLoadIdentity)();
    REAL(glTranslatef)(0, 0, -10);
    REAL(glRotatef)(float(turn), 1, 0, 0);
    REAL(glRotatef)(float(-4 * turn), 0, 1, 0);
    REAL(glRotatef)(50, 1, 0, 0);
    REAL(glDrawArrays)(GL_QUADS, 0, vertices);
    target.ReadInto(pixels, 800);
}

// Seconds of each of frames frames of the torus drawn from one buffer object, turned as Orbit turns it.
std::vector<double> BufferDraw(int frames)
{
    std::string error;
    auto device = tesselin::GlDevice::Open(error);
    auto target = device ? device->MakeTarget(800, 600, error) : nullptr;
    if (!target) {
        std::printf("buffer draw: no OpenGL: %s\n", error.c_str());
        return {};
    }
    target->MakeCurrent();
    GLsizei vertices = LoadBufferTorus();
    std::vector<uint32_t> pixels(800 * 600);
    std::vector<double> seconds;
    for (int i = 0; i < frames; i++) {
        auto begin = Clock::now();
        DrawBufferTorus(*target, vertices, i + 1, pixels.data());
        seconds.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    return seconds;
}

// One frame of the buffer torus, unturned, written to path as a PNG: the
// whole of what tesselin run does for the torus script, by the shortest way.
int BufferFrameToPng(const std::string &path)
{
    std::string error;
    auto device = tesselin::GlDevice::Open(error);
    auto target = device ? device->MakeTarget(800, 600, error) : nullptr;
    if (!target) {
        std::fprintf(stderr, "buffer draw: no OpenGL: %s\n", error.c_str());
        return 1;
    }
    target->MakeCurrent();
    GLsizei vertices = LoadBufferTorus();
    tesselin::Image image(800, 600);
    DrawBufferTorus(*target, vertices, 0, image.pixels.data());
    if (!tesselin::WritePng(path, image, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

// Wall and processor seconds (user and system, the child's) of one program run; negative when it failed.
struct RunTime {
    double wall = -1, processor = -1;
};

RunTime TimeRun(const std::vector<std::string> &arguments)
{
    auto childSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    };
    double before = childSeconds();
    auto begin = Clock::now();
    if (tests::RunChild(arguments) != 0)
        return {};
    return {std::chrono::duration<double>(Clock::now() - begin).count(), childSeconds() - before};
}

// tesselin run of the torus script against the buffer torus to a PNG, each
// its own process from start to end, taking turns; medians of wall and
// processor time.
void RunAgainstBuffer(const std::string &self, const std::string &torus, int runs)
{
    std::string program = std::string(TESSELIN_BUILD_DIR) + "/tesselin";
    std::vector<double> runWall, runProcessor, bufferWall, bufferProcessor;
    for (int i = 0; i <= runs; i++) {
        RunTime run = TimeRun({program, "run", torus, "-o", "/tmp/orbit_bench_run.png"});
        RunTime buffer = TimeRun({self, "--buffer-frame", "/tmp/orbit_bench_buffer.png"});
        if (run.wall < 0 || buffer.wall < 0) {
            std::printf("tesselin run against the buffer: a run failed\n");
            return;
        }
        if (i == 0)
            continue; // the first of each warms the file cache
        runWall.push_back(run.wall);
        runProcessor.push_back(run.processor);
        bufferWall.push_back(buffer.wall);
        bufferProcessor.push_back(buffer.processor);
    }
    double rw = Median(runWall), rp = Median(runProcessor), bw = Median(bufferWall), bp = Median(bufferProcessor);
    std::printf("%-24s tesselin run %6.1f ms (processor %6.1f), buffer object to PNG %6.1f ms (processor %6.1f); "
                "whole processes, median of %d: %.2fx wall, %.2fx processor\n",
                "torus, run", rw * 1000, rp * 1000, bw * 1000, bp * 1000, runs, rw / bw, rp / bp);
    std::remove("/tmp/orbit_bench_run.png");
    std::remove("/tmp/orbit_bench_buffer.png");
}

// Seconds of each of frames turns of the scene of script, after its first
// run; printed as frames per second under name. Empty when a run failed.
std::vector<double> Orbit(const char *name, const std::string &script, int frames, tesselin::CanvasWindow *window)
{
    Quiet sink;
    tesselin::SceneRunner runner(script, std::string(TESSELIN_BUILD_DIR) + "/tesselin.so", sink);
    tesselin::Camera camera;
    auto start = Clock::now();
    auto first = runner.Run(camera);
    double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!first.pictures) {
        std::printf("%s: the script failed: %s\n", name, first.problem.c_str());
        return {};
    }
    std::vector<double> seconds;
    int redrawn = 0;
    double processorStart = ProcessorSeconds();
    for (int i = 0; i < frames; i++) {
        camera.azimuth += 4;
        camera.elevation += 1;
        auto begin = Clock::now();
        auto outcome = runner.Turn(camera);
        if (window && outcome.pictures)
            window->Show(outcome.pictures->window);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
        redrawn += outcome.redrawn;
        if (!outcome.pictures) {
            std::printf("%s: turn %d failed: %s\n", name, i + 1, outcome.problem.c_str());
            return {};
        }
    }
    double processor = (ProcessorSeconds() - processorStart) / frames;
    double median = Median(seconds);
    double mean = std::accumulate(seconds.begin(), seconds.end(), 0.0) / double(seconds.size());
    std::printf("%-24s first run %7.1f ms; orbit %6.2f frames/s median (%6.1f ms), %6.2f mean, "
                "%6.2f by processor time; %d of %d redrawn, %zu in the contexts that drew them%s\n",
                name, firstSeconds * 1000, 1 / median, median * 1000, 1 / mean, 1 / processor, redrawn, frames,
                runner.RedrawsInPlace(), window ? ", shown in a window" : "");
    return seconds;
}

// The torus turned and the buffer torus drawn in blocks of frames, taking
// turns blocks times; the medians over all blocks and their ratio.
void TorusAgainstBuffer(const std::string &torus, int frames, int blocks, tesselin::CanvasWindow *window)
{
    std::vector<double> turned, buffer, blockRatios;
    for (int block = 0; block < blocks; block++) {
        // One host at a time: each opens OpenGL after the other is gone.
        std::vector<double> turns = Orbit("torus, 500 000 facets", torus, frames, window);
        std::vector<double> draws = BufferDraw(frames);
        if (turns.empty() || draws.empty())
            return;
        std::printf("%-24s orbit %6.2f frames/s median (%6.1f ms) from one buffer object\n", "torus, buffer object",
                    1 / Median(draws), Median(draws) * 1000);
        blockRatios.push_back(Median(draws) / Median(turns));
        turned.insert(turned.end(), turns.begin(), turns.end());
        buffer.insert(buffer.end(), draws.begin(), draws.end());
    }
    auto [least, most] = std::minmax_element(blockRatios.begin(), blockRatios.end());
    std::printf("torus: orbit at %.2fx the buffer object's frame rate (%6.1f against %6.1f ms, medians of %d "
                "turns each in %d blocks; blocks %.2fx to %.2fx)\n",
                Median(buffer) / Median(turned), Median(turned) * 1000, Median(buffer) * 1000, int(turned.size()), blocks,
                *least, *most);
}

} // namespace

int main(int argc, char **argv)
{
    // 40 frames: the torus turns 10 times a block, 80 times in all (and the
    // buffer draws as often): fewer let a busy machine move the ratio by 0.1.
    int frames = 40, runs = 9, blocks = 8;
    bool showWindow = false;
    for (int i = 1; i < argc; i++) {
        std::string option = argv[i];
        if (option == "--frames" && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (option == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (option == "--blocks" && i + 1 < argc)
            blocks = std::max(1, std::atoi(argv[++i]));
        else if (option == "--window")
            showWindow = true;
        else if (option == "--buffer-frame" && i + 1 < argc)
            return BufferFrameToPng(argv[++i]);
        else {
            std::fprintf(stderr, "usage: orbit_bench [--frames N] [--blocks N] [--runs N] [--window]\n");
            return 2;
        }
    }
    std::unique_ptr<tesselin::CanvasWindow> window;
    if (showWindow) {
        std::string error;
        window = tesselin::CanvasWindow::Open("orbit_bench", error);
        if (!window) {
            std::fprintf(stderr, "no window: %s\n", error.c_str());
            return 2;
        }
    }
    std::string torus = "/tmp/orbit_bench_torus.tsl";
    std::ofstream(torus) << "canvas 800 600 persp 30 1 100 10\nclear 0.1 0.1 0.15\nlight -1 1 1\n"
                            "diffuse 0.8 0.5 0.3\nrotate 50 1 0 0\ntorus 2 0 360 500 x 360 1000 x\nfinish\n";
    Orbit("demo, 800 x 600", std::string(TESSELIN_SOURCE_DIR) + "/examples/demo.tsl", frames, window.get());
    TorusAgainstBuffer(torus, std::max(3, frames / 4), blocks, window.get());
    RunAgainstBuffer(argv[0], torus, runs);
    std::remove(torus.c_str());
    return 0;
}
