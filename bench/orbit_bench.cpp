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
#include "app/view/window.h"
#include "app/view/script_runner.h"

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

void Orbit(const char *name, const std::string &script, int frames, tesselin::CanvasWindow *window)
{
    Quiet sink;
    tesselin::SceneRunner runner(script, std::string(TESSELIN_BUILD_DIR) + "/tesselin.so", sink);
    tesselin::Camera camera;
    auto start = Clock::now();
    auto first = runner.Run(camera);
    double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!first.pictures) {
        std::printf("%s: the script failed: %s\n", name, first.problem.c_str());
        return;
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
            return;
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
    Orbit("torus, 500 000 facets", torus, std::max(3, frames / 4), window.get());
    std::remove(torus.c_str());
    return 0;
}
