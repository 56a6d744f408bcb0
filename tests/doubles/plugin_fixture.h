// The fixture of the command tests: a fresh recording host, a fresh recording
// OpenGL, and the plug-in's module-wide state back at its load-time values.
#ifndef TESSELIN_PLUGIN_FIXTURE_H
#define TESSELIN_PLUGIN_FIXTURE_H

#include "plugin/tesselin.h"
#include "tests/doubles/recording_gl.h"
#include "tests/doubles/recording_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Puts every module-wide value back to what it is before ZiltorH_Load.
void ResetPluginState();

// Splits a command line at spaces; a token in double quotes may hold spaces.
std::vector<std::string> SplitTokens(const std::string &line);

class PluginTest : public ::testing::Test {
protected:
    RecordingHost host;

    void SetUp() override;
    void TearDown() override;

    // ZiltorH_Load with the recording host, then forgets what load recorded.
    void Load();
    // Load, then a canvas command; forgets what both recorded.
    void LoadWithCanvas(const std::string &canvasLine = "canvas 200 100 persp 45 1 100 10");
    // Hands the line to ZiltorH_Command and returns its result as given.
    const char *Command(const std::string &line);
    // The same, with the result as text: "" for success.
    std::string Run(const std::string &line);
    // Forgets every host and OpenGL call recorded so far.
    void ClearRecords();
};

#endif
