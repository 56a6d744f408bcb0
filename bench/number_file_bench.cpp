// How fast arrayf reads a large number file, against yardsticks measured in
// the same run on the same file:
//   - raw reading: fread in 1 MiB chunks, no scanning (the page-cache limit);
//   - strtod over a memory-mapped copy (the usual way to read numbers);
//   - from_chars over the same mapping (the conversion limit).
// The file (about 100 MB of three columns of decimals) is made in /tmp and read
// once before timing, so every reading comes from the page cache.
//
// Usage: number_file_bench [megabytes] [path]
#include "plugin/tesselin.h"
#include "data/data.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Mapping {
    const char *data = nullptr;
    size_t size = 0;
    explicit Mapping(const std::string &path)
    {
        int fd = open(path.c_str(), O_RDONLY);
        struct stat info {};
        if (fd < 0 || fstat(fd, &info) != 0)
            return;
        size = static_cast<size_t>(info.st_size);
        // One byte more than the file: the page's zero tail ends the last
        // number for strtod (the file's size is never a multiple of the page).
        void *p = mmap(nullptr, size + 1, PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (p != MAP_FAILED)
            data = static_cast<const char *>(p);
    }
    ~Mapping()
    {
        if (data)
            munmap(const_cast<char *>(data), size + 1);
    }
};

void MakeFile(const std::string &path, size_t megabytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::exit(2);
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-1000.0, 1000.0);
    size_t target = megabytes * 1000000, written = 0;
    char line[128];
    for (long row = 0; written < target; row++) {
        int n = std::snprintf(line, sizeof line, "%ld %.6f %.4e\n", row, value(random), value(random) * 1e-3);
        std::fwrite(line, 1, static_cast<size_t>(n), file);
        written += static_cast<size_t>(n);
    }
    if (written % static_cast<size_t>(sysconf(_SC_PAGESIZE)) == 0)
        std::fputs("0\n", file);
    std::fclose(file);
}

// Best of three, in seconds.
double Time(const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < 3; i++) {
        Clock::time_point start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void Report(const char *what, size_t bytes, double seconds, double numbers)
{
    std::printf("%-48s %8.1f MB/s  %7.3f s  %11.0f numbers\n", what, double(bytes) / 1e6 / seconds, seconds,
                numbers);
}

}

int main(int argc, char **argv)
{
    size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    std::string path = argc > 2 ? argv[2] : "/tmp/tesselin-number-bench.txt";
    MakeFile(path, megabytes);
    Mapping map(path);
    if (!map.data)
        return 2;
    size_t bytes = map.size;
    std::printf("file %s: %.1f MB\n", path.c_str(), double(bytes) / 1e6);

    std::vector<char> chunk(1 << 20);
    double raw = 0;
    double rawSeconds = Time([&] {
        std::FILE *f = std::fopen(path.c_str(), "rb");
        size_t n, total = 0;
        while ((n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0)
            total += n;
        raw = double(total);
        std::fclose(f);
    });
    Report("raw fread, 1 MiB chunks (page-cache limit)", bytes, rawSeconds, 0);

    double count = 0, sink = 0;
    double strtodSeconds = Time([&] {
        const char *p = map.data, *end = map.data + bytes;
        char *next;
        count = 0;
        while (p < end) {
            double v = std::strtod(p, &next);
            if (next == p)
                break;
            sink += v;
            count++;
            p = next;
        }
    });
    Report("yardstick: strtod over a memory map", bytes, strtodSeconds, count);

    double fromCharsSeconds = Time([&] {
        const char *p = map.data, *end = map.data + bytes;
        count = 0;
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\n'))
                p++;
            double v;
            std::from_chars_result r = std::from_chars(p, end, v);
            if (r.ptr == p)
                break;
            sink += v;
            count++;
            p = r.ptr;
        }
    });
    Report("from_chars over a memory map (conversion limit)", bytes, fromCharsSeconds, count);

    // The command itself, as a script runs it: counting pass, block, storing pass.
    static char keyword[] = "arrayf";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    for (const char *column : {"1 0", "3 1"}) {
        char stride[8], start[8];
        std::sscanf(column, "%7s %7s", stride, start);
        char *tokens[] = {keyword, name.data(), stride, start, nullptr};
        double seconds = Time([&] {
            ResetPointArrayStore();
            const char *result = CommandArrayFile(4, tokens);
            if (result)
                std::printf("arrayf failed: %s\n", result);
            count = ArrayLengths ? ArrayLengths[0] : 0;
            sink += ArraySlots && ArraySlots[0] ? ArraySlots[0][0] : 0.0f;
        });
        std::string label = std::string("arrayf, stride ") + stride + " start " + start + " (both passes)";
        Report(label.c_str(), bytes, seconds, count);
    }
    ResetPointArrayStore();

    double counted = 0;
    double countSeconds = Time([&] {
        std::FILE *f = std::fopen(path.c_str(), "rb");
        counted = double(ReadSelectedNumbers(nullptr, 0, f, 1, 0));
        std::fclose(f);
    });
    Report("  its counting pass alone", bytes, countSeconds, counted);
    std::printf("(checksum %g, raw bytes %.0f)\n", sink, raw);
    return 0;
}
