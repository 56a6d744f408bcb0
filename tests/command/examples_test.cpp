// Every example script runs through the plug-in without a single error, so the
// examples keep up with the commands.
#include "tests/doubles/plugin_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Examples = PluginTest;

int Tokens(const std::string &line)
{
    std::istringstream words(line);
    std::string word;
    int count = 0;
    while (words >> word)
        count++;
    return count;
}

// From the source directory CMake names: __FILE__ may be relative to the build
// directory (ccache with a base directory makes it so).
const std::filesystem::path ExampleDir = std::filesystem::path(TESSELIN_SOURCE_DIR) / "examples";

TEST_F(Examples, EveryLineOfEveryExampleSucceeds)
{
    // Examples name their number files from the repository's top folder, where
    // they are run.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(ExampleDir.parent_path());
    // An example's help must not open a browser while the tests run: no
    // opener is on the path.
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    int scripts = 0;
    for (const auto &entry : std::filesystem::directory_iterator(ExampleDir)) {
        if (entry.path().extension() != ".tsl")
            continue;
        scripts++;
        Load();
        std::ifstream in(entry.path());
        std::string line;
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(line.rfind("# ", 0), 0u) << entry.path() << " starts with a comment saying what it shows";
        int number = 1, drawn = 0, modelled = 0;
        while (std::getline(in, line)) {
            number++;
            size_t start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line[start] == '#')
                continue;
            std::string result = Run(line);
            modelled += line.rfind("canvas ", start) == start && Tokens(line) >= 8;
            EXPECT_EQ(result, "") << entry.path().filename() << ":" << number << ": " << line;
            drawn += !recording_gl::CallsNamed({"glVertex3fv", "gluSphere"}).empty();
            ClearRecords();
        }
        // A script with no 3D canvas (the welcome canvas, pictures) draws no OpenGL.
        if (modelled) {
            EXPECT_GT(drawn, 0) << entry.path();
        }
        ZiltorH_Unload();
        ResetPluginState();
    }
    std::filesystem::current_path(before);
    setenv("PATH", path.c_str(), 1);
    EXPECT_GE(scripts, 3);
}

}
