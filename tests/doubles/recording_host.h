// A recording host table for the command tests. The 18 entries the plug-in may
// call record each call with its arguments, in order, as readable text such as
// "CreateCanvas(400, 300)" or "SetProjection(SceneView, 0, 45, 1, 100, 10)".
// A test decides the answers of CreateCanvas, HasCanvas, HasRightCanvas and
// IsModeling; every other slot of the 42 fails the test when it is called.
#ifndef TESSELIN_RECORDING_HOST_H
#define TESSELIN_RECORDING_HOST_H

#include "host/host_table.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct FakeCanvas {
    int id = 0;
    CanvasRecord record[CANVAS_FIELDS] = {};
    TesselinSurface surface = {};
    std::vector<uint32_t> pixels;
    bool destroyed = false;

    uint32_t Pixel(int x, int y) const { return pixels[size_t(y) * surface.width + x]; }
    // Pixels in [left, right) x [top, bottom) equal to colour.
    long Count(uint32_t colour, int left, int top, int right, int bottom) const;
    long Count(uint32_t colour) const { return Count(colour, 0, 0, surface.width, surface.height); }
};

struct RecordingHost {
    std::vector<std::string> calls;
    HostEntry table[HOST_TABLE_SIZE] = {};

    // Answers, set by each test.
    std::function<bool(int width, int height)> acceptCanvas = [](int w, int h) {
        return w >= 1 && h >= 1 && w <= 8192 && h <= 8192;
    };
    int hasCanvas = 1;
    int hasRightCanvas = 0; // also set by SetRightCanvas, as a host keeps it
    int isModeling = 1;
    // Added by SetViewMargin to whatever amount it is asked to store.
    int marginBias = 0;
    // When nonzero, canvases are made at most this wide and high, whatever was asked.
    int sizeLimit = 0;

    // Every canvas made, in order, destroyed ones included.
    std::vector<std::unique_ptr<FakeCanvas>> canvases;
    FakeCanvas *selected = nullptr;
    // What GetCanvasWindow hands out.
    FakeCanvas window;

    RecordingHost();
    ~RecordingHost();
    RecordingHost(const RecordingHost &) = delete;
    RecordingHost &operator=(const RecordingHost &) = delete;

    FakeCanvas *CanvasOf(const CanvasRecord *record) const;
    std::string NameOf(const CanvasRecord *record) const;
    // The recorded calls whose text starts with prefix.
    std::vector<std::string> CallsStartingWith(const std::string &prefix) const;
};

// The host the entries record into; set by the RecordingHost constructor.
extern RecordingHost *CurrentHost;

void MakeSurface(FakeCanvas &canvas, int width, int height, uint32_t fill);

#endif
