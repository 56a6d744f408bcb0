// How fast the live window turns a scene: frames per second while orbiting.
//
//   orbit_bench [--frames N] [--window]
//
// For each scene, the script runs once, then the camera turns N times by 4
// degrees of azimuth and 1 of elevation, each turn giving the pictures the
// window shows (the same SceneRunner::Turn the window's drag calls: the
// last frame redrawn where the host kept it, else the script run again).
// Reported: median and mean frames per second over the turns (wall time),
// the frames per second the process's processor time would allow (all its
// threads, Mesa's included; steadier than wall time on a busy machine), and
// how many were redrawn rather than run again. With --window (and a display) every
// picture is also shown in a window, as dragging shows it.
//
// Scenes: the demo (examples/demo.tsl, 800 x 600) and one torus of
// 500 x 1000 bands = 500 000 facets at 800 x 600.
//
// For the torus the bench also draws a torus of as many facets (major radius
// 2, tube 1, normals per vertex, one light) from one buffer object in one
// context, turning it the same way and reading every frame back: what a
// redraw at the rasteriser's limit costs on this machine, in the same run,
// so that the ratio holds whatever else the machine is doing.
#include "app/view/window.h"
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

// Frames per second (median) of the torus drawn from one buffer object, turned as Orbit turns it.
double BufferDraw(int frames)
{
    std::string error;
    auto device = tesselin::GlDevice::Open(error);
    auto target = device ? device->MakeTarget(800, 600, error) : nullptr;
    if (!target) {
        std::printf("buffer draw: no OpenGL: %s\n", error.c_str());
        return 0;
    }
    target->MakeCurrent();
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
    std::vector<uint32_t> pixels(800 * 600);
    std::vector<double> seconds;
    for (int i = 0; i < frames; i++) {
        auto begin = Clock::now();
        REAL(glClearColor)(0.1f, 0.1f, 0.15f, 1);
        REAL(glClear)(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        REAL(glMatrixMode)(GL_MODELVIEW);
        REAL(glLoadIdentity)();
        REAL(glTranslatef)(0, 0, -10);
        REAL(glRotatef)(float(1 + i), 1, 0, 0);
        REAL(glRotatef)(float(-4 * (i + 1)), 0, 1, 0);
        REAL(glRotatef)(50, 1, 0, 0);
        REAL(glDrawArrays)(GL_QUADS, 0, GLsizei(mesh.size() / 6));
        target->ReadInto(pixels.data(), 800);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    std::sort(seconds.begin(), seconds.end());
    double median = seconds[seconds.size() / 2];
    std::printf("%-24s orbit %6.2f frames/s median (%6.1f ms) from one buffer object\n", "torus, buffer object",
                1 / median, median * 1000);
    return 1 / median;
}

// Frames per second (median) of turning the scene of script.
double Orbit(const char *name, const std::string &script, int frames, tesselin::CanvasWindow *window)
{
    Quiet sink;
    tesselin::SceneRunner runner(script, std::string(TESSELIN_BUILD_DIR) + "/tesselin.so", sink);
    tesselin::Camera camera;
    auto start = Clock::now();
    auto first = runner.Run(camera);
    double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!first.pictures) {
        std::printf("%s: the script failed: %s\n", name, first.problem.c_str());
        return 0;
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
            return 0;
        }
    }
    double processor = (ProcessorSeconds() - processorStart) / frames;
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted[sorted.size() / 2];
    double mean = std::accumulate(seconds.begin(), seconds.end(), 0.0) / double(seconds.size());
    std::printf("%-24s first run %7.1f ms; orbit %6.2f frames/s median (%6.1f ms), %6.2f mean, "
                "%6.2f by processor time; %d of %d redrawn%s\n",
                name, firstSeconds * 1000, 1 / median, median * 1000, 1 / mean, 1 / processor, redrawn, frames,
                window ? ", shown in a window" : "");
    return 1 / median;
}

} // namespace

int main(int argc, char **argv)
{
    int frames = 20;
    bool showWindow = false;
    for (int i = 1; i < argc; i++) {
        std::string option = argv[i];
        if (option == "--frames" && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (option == "--window")
            showWindow = true;
        else {
            std::fprintf(stderr, "usage: orbit_bench [--frames N] [--window]\n");
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
    double turned = Orbit("torus, 500 000 facets", torus, std::max(3, frames / 4), window.get());
    // One host at a time: the buffer draw opens OpenGL after the runner is gone.
    double buffer = BufferDraw(std::max(3, frames / 4));
    if (turned > 0 && buffer > 0)
        std::printf("torus: orbit at %.2fx the buffer object's frame rate\n", turned / buffer);
    std::remove(torus.c_str());
    return 0;
}
