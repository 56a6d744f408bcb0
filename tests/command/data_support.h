// Helpers of the data-command tests: scratch number files, and the OpenGL
// stream read back as quads.
#ifndef TESSELIN_DATA_SUPPORT_H
#define TESSELIN_DATA_SUPPORT_H

#include "tests/doubles/recording_gl.h"

#include <GL/gl.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

// A file in the temporary directory, removed when the test is done.
class ScratchFile {
public:
    explicit ScratchFile(const std::string &bytes = "")
    {
        static int serial = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("tesselin-data-" + std::to_string(getpid()) + "-" + std::to_string(serial++) + ".txt"))
                    .string();
        Write(bytes);
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    void Write(const std::string &bytes, const char *mode = "wb") const
    {
        std::FILE *file = std::fopen(path_.c_str(), mode);
        if (!file)
            return;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    void Append(const std::string &bytes) const { Write(bytes, "ab"); }
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

using Point = std::array<double, 3>;

// One GL_QUADS facet as the facet kernel sends it: the normal sent just
// before it (if one was), then its four corners.
struct Quad {
    std::optional<Point> normal;
    std::array<Point, 4> corners;
};

// Every quad of the recorded stream, in order. Calls of other names are
// skipped; a normal belongs to the quad that follows it.
inline std::vector<Quad> RecordedQuads()
{
    std::vector<Quad> quads;
    std::optional<Point> normal;
    const auto &calls = recording_gl::Calls();
    for (size_t i = 0; i < calls.size(); i++) {
        const GlCall &call = calls[i];
        if (call.name == "glNormal3fv") {
            normal = Point{call.args[0], call.args[1], call.args[2]};
        } else if (call.name == "glBegin" && call.args[0] == GL_QUADS && i + 5 < calls.size()) {
            Quad quad{normal, {}};
            for (int k = 0; k < 4; k++) {
                const GlCall &v = calls[i + 1 + k];
                quad.corners[k] = Point{v.args[0], v.args[1], v.args[2]};
            }
            quads.push_back(quad);
            normal.reset();
            i += 5;
        }
    }
    return quads;
}

#endif
