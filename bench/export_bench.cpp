// Exporting a large model: the 500 000-facet torus at 800 x 600, rendered by
// the host on Mesa (as tesselin run does it, the record of its calls kept for
// the export) and then exported to a .glb, in one process. Prints the medians
// of the CPU time of both (this process and its threads, so that other work
// on a shared machine does not count), their ratio, and the .glb's size
// against its raw positions and normals.
//
//   build/bench/export_bench [RUNS]
#include "app/export/model.h"
#include "app/session/session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

double CpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Quiet final : tesselin::MessageSink {
    void Line(const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

} // namespace

int main(int argc, char **argv)
{
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::string path = (std::filesystem::temp_directory_path() / "tesselin-export-bench.glb").string();
    std::vector<double> render, exporting;
    std::uintmax_t bytes = 0;
    for (int run = 0; run < runs; run++) {
        Quiet sink;
        tesselin::SessionOptions options;
        options.modulePath = std::string(TESSELIN_BUILD_DIR) + "/tesselin.so";
        options.exportTitle = "torus";
        std::string error;
        auto session = tesselin::Session::Start(options, sink, error);
        if (!session) {
            std::printf("cannot start: %s\n", error.c_str());
            return 1;
        }
        double start = CpuNow();
        session->RunLine("canvas 800 600 persp 30 1 100 12", "bench");
        session->RunLine("light 1 1 2", "bench");
        session->RunLine("rotate 50 1 0.3 0", "bench");
        session->RunLine("torus 2 0 360 500 x 360 1000 x", "bench"); // 500 000 facets
        session->RunLine("finish", "bench");
        double rendered = CpuNow();
        if (!session->ExportModel(path)) {
            for (const auto &line : sink.lines)
                std::printf("%s\n", line.c_str());
            return 1;
        }
        double exported = CpuNow();
        render.push_back(rendered - start);
        exporting.push_back(exported - rendered);
        bytes = std::filesystem::file_size(path);
    }
    std::filesystem::remove(path);
    // 500 000 quads are 1 000 000 triangles: 3 corners of a position and a normal, 3 floats each.
    double raw = 1e6 * 3 * 2 * 3 * sizeof(float);
    double r = Median(render), e = Median(exporting);
    std::printf("500 000-facet torus, 800 x 600, median CPU time of %d runs:\n", runs);
    std::printf("  render (tesselin run's work)   %8.1f ms\n", r);
    std::printf("  export to .glb                 %8.1f ms   %.2f x the render (at most 1.5)\n", e, e / r);
    std::printf("  .glb size  %.1f MB = %.3f x its raw positions and normals (at most 1.1)\n", bytes / 1e6,
                bytes / raw);
    return e <= 1.5 * r && bytes <= 1.1 * raw ? 0 : 1;
}
