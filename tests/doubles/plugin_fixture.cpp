#include "tests/doubles/plugin_fixture.h"

#include <cstdlib>
#include <cstring>

void ResetPluginState()
{
    HostTable = nullptr;
    LeftCanvas = RightCanvas = nullptr;
    Quadric = nullptr;
    CanvasView = ViewRecord{};
    SceneView = ViewRecord{};
    std::memset(MessageBuffer, 0, sizeof MessageBuffer);
    ReleasePointArrays();
    std::free(ArraySlots);
    std::free(ArrayLengths);
    ArraySlots = nullptr;
    ArrayLengths = nullptr;
    ArrayCount = 0;
    RenderStyle = STYLE_SOLID;
    OrientationOutside = 1;
    TubeCentreRadius = 0.0f;
    SweepFlat = 0;
    ProfileFlat = 0;
}

std::vector<std::string> SplitTokens(const std::string &line)
{
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            i++;
        if (i >= line.size())
            break;
        std::string token;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            token = line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? line.size() : end + 1;
        } else {
            size_t end = line.find(' ', i);
            token = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        tokens.push_back(token);
    }
    return tokens;
}

void PluginTest::SetUp()
{
    ResetPluginState();
    recording_gl::Reset();
    recording_gl::ResetQuadrics();
}

void PluginTest::TearDown()
{
    if (HostTable)
        ZiltorH_Unload();
    ResetPluginState();
    recording_gl::Reset();
}

void PluginTest::ClearRecords()
{
    host.calls.clear();
    recording_gl::Reset();
}

void PluginTest::Load()
{
    const char *name = nullptr;
    ZiltorH_Load(&name, host.table);
    ClearRecords();
}

void PluginTest::LoadWithCanvas(const std::string &canvasLine)
{
    Load();
    EXPECT_EQ(Run(canvasLine), "");
    ClearRecords();
}

const char *PluginTest::Command(const std::string &line)
{
    std::vector<std::string> tokens = SplitTokens(line);
    std::vector<char *> pointers;
    for (std::string &token : tokens)
        pointers.push_back(token.data());
    pointers.push_back(nullptr);
    return ZiltorH_Command(static_cast<int>(tokens.size()), pointers.data());
}

std::string PluginTest::Run(const std::string &line)
{
    const char *result = Command(line);
    return result ? std::string(result) : std::string();
}
