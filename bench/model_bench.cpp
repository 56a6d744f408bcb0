// How fast the modelling commands turn a large scene into facets.
//
//   model_bench [--frames N] [--host PATH]
//
// 1. Plug-in alone: the scene's command lines go through ZiltorH_Command with
//    the recording host and the recording OpenGL, recording switched off, so
//    the time is the plug-in's own arithmetic and call overhead.
// 2. Whole render: the same scene as a script run by the reference host on
//    Mesa, timed from outside; the time of the same script without geometry
//    (start-up, context, PNG) is subtracted. Skipped when no host is found.
#include "plugin/tesselin.h"
#include "tests/doubles/recording_gl.h"
#include "tests/doubles/recording_host.h"
#include "tests/shared/spawn.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Scene {
    std::vector<std::string> setup;    // canvas and light: once
    std::vector<std::string> frame;    // one frame of geometry, finish included
    long long facets = 0;              // facets one frame sends
};

// A 6 x 5 grid alternating tori and spheres swept by the plug-in itself (the
// torus of centre radius 0), all smooth but one row flat, each band a facet.
Scene MakeScene()
{
    Scene scene;
    scene.setup = {"canvas 800 600 persp 30 1 200 40", "light 1 1 2", "ambient 0.2 0.2 0.2", "shine 40 1 1 1"};
    scene.frame.push_back("clear 0.1 0.1 0.15");
    const int bands = 96, segments = 160;
    for (int row = 0; row < 5; row++) {
        for (int column = 0; column < 6; column++) {
            char line[160];
            scene.frame.push_back("push");
            std::snprintf(line, sizeof line, "move %d %d 0", column * 5 - 12, row * 5 - 10);
            scene.frame.push_back(line);
            std::snprintf(line, sizeof line, "diffuse %.2f %.2f %.2f", 0.3 + 0.1 * column, 0.8 - 0.1 * row, 0.5);
            scene.frame.push_back(line);
            const char *shading = row == 2 ? "flat" : "x";
            if ((row + column) % 2 == 0) {
                scene.frame.push_back("scale 0.6 0.6 0.6");
                std::snprintf(line, sizeof line, "torus 2 0 360 %d %s 360 %d %s", bands, shading, segments, shading);
            } else {
                scene.frame.push_back("scale 1.6 1.6 1.6");
                std::snprintf(line, sizeof line, "torus 0 0 180 %d %s 360 %d %s", bands, shading, segments, shading);
            }
            scene.frame.push_back(line);
            scene.frame.push_back("pop");
            scene.facets += (long long)bands * segments;
        }
    }
    scene.frame.push_back("finish");
    return scene;
}

const char *RunLine(const std::string &text)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = text.find(' ', i);
        if (end == std::string::npos)
            end = text.size();
        if (end > i)
            tokens.push_back(text.substr(i, end - i));
        i = end + 1;
    }
    std::vector<char *> pointers;
    for (std::string &token : tokens)
        pointers.push_back(token.data());
    return ZiltorH_Command(static_cast<int>(pointers.size()), pointers.data());
}

double PluginAlone(const Scene &scene, int frames)
{
    RecordingHost host;
    const char *name = nullptr;
    ZiltorH_Load(&name, host.table);
    recording_gl::SetRecording(false);
    for (const std::string &line : scene.setup)
        RunLine(line);
    std::vector<double> seconds;
    long long calls = 0;
    for (int f = 0; f < frames; f++) {
        recording_gl::Reset();
        auto start = Clock::now();
        for (const std::string &line : scene.frame)
            if (const char *error = RunLine(line))
                std::fprintf(stderr, "%s: %s\n", line.c_str(), error);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        calls = recording_gl::CallCount();
    }
    ZiltorH_Unload();
    std::sort(seconds.begin(), seconds.end());
    double median = seconds[seconds.size() / 2];
    std::printf("plug-in alone: %lld facets/frame, %lld GL calls/frame, median %.1f ms over %d frames, %.2f M facets/s\n",
                scene.facets, calls, median * 1e3, frames, scene.facets / median / 1e6);
    return median;
}

double TimeScript(const std::string &host, const std::filesystem::path &script, const std::filesystem::path &png)
{
    tests::Streams quiet;
    quiet.out = "/dev/null";
    auto start = Clock::now();
    int status = tests::RunChild({host, "run", script.string(), "-o", png.string()}, quiet);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (status != 0)
        std::fprintf(stderr, "%s run %s exited with %d\n", host.c_str(), script.c_str(), status);
    return seconds;
}

void WholeRender(const Scene &scene, int frames, const std::string &host)
{
    if (!std::filesystem::exists(host)) {
        std::printf("whole render: no host at %s, skipped\n", host.c_str());
        return;
    }
    auto dir = std::filesystem::temp_directory_path() / "tesselin_model_bench";
    std::filesystem::create_directories(dir);
    std::ofstream full(dir / "scene.tsl"), empty(dir / "empty.tsl");
    for (const std::string &line : scene.setup) {
        full << line << "\n";
        empty << line << "\n";
    }
    for (int f = 0; f < frames; f++) {
        for (const std::string &line : scene.frame)
            full << line << "\n";
        empty << "clear 0 0 0\nfinish\n";
    }
    full.close();
    empty.close();
    std::vector<double> fullTimes, emptyTimes;
    for (int run = 0; run < 3; run++) {
        emptyTimes.push_back(TimeScript(host, dir / "empty.tsl", dir / "empty.png"));
        fullTimes.push_back(TimeScript(host, dir / "scene.tsl", dir / "scene.png"));
    }
    double fullBest = *std::min_element(fullTimes.begin(), fullTimes.end());
    double emptyBest = *std::min_element(emptyTimes.begin(), emptyTimes.end());
    double perFrame = (fullBest - emptyBest) / frames;
    std::printf("whole render on the host: %d frames in %.2f s (%.2f s without geometry), %.1f ms/frame, %.2f M facets/s\n",
                frames, fullBest, emptyBest, perFrame * 1e3, scene.facets / perFrame / 1e6);
    std::filesystem::remove_all(dir);
}

}

int main(int argc, char **argv)
{
    int frames = 5;
    std::string host = std::string(TESSELIN_BUILD_DIR) + "/tesselin";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--frames")
            frames = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--host")
            host = argv[i + 1];
    }
    Scene scene = MakeScene();
    PluginAlone(scene, frames);
    WholeRender(scene, frames, host);
    return 0;
}
