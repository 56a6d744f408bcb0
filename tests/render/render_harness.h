// Render-test harness: runs scripts through the real module in the real host
// on the machine's OpenGL (Mesa without a display) and hands back the images,
// the messages and the exit status, plus helpers to judge images by their
// properties with a tolerance.
//
//   auto run = render::RenderScript("canvas 200 100 persp 30 1 100 10\n"
//                                   "clear 1 0 0\n"
//                                   "finish\n");
//   EXPECT_EQ(run.status, 0);
//   EXPECT_GT(render::CountNear(run.window, render::Rgb(255, 0, 0), 2), 19000);
//
// Scripts run in this process: a test executable links the host core with
// tesselin_link_host() in CMake, so the module's OpenGL calls (and the
// test's own, for drawing the module cannot do yet) pass the host's boundary.
// RunTesselin runs the built program instead, for command-line behaviour.
#ifndef TESSELIN_RENDER_HARNESS_H
#define TESSELIN_RENDER_HARNESS_H

#include "app/picture/image.h"
#include "app/session/session.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace render {

using tesselin::Blue;
using tesselin::Green;
using tesselin::Image;
using tesselin::Red;
using tesselin::Rgb;

// Pixels [left, right) x [top, bottom), top row 0.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
};
Box Whole(const Image &image);

// Every channel of a and b within tolerance of each other.
bool Near(uint32_t a, uint32_t b, int tolerance);

// Pixels near colour within box (the whole image when none).
long CountNear(const Image &image, uint32_t colour, int tolerance, std::optional<Box> box = {});

// A set of pixels: how many, their centroid and their bounding box.
struct Blob {
    long count = 0;
    double x = 0, y = 0;
    Box bounds;
};
// The pixels near colour, or those unlike background.
Blob FindNear(const Image &image, uint32_t colour, int tolerance, std::optional<Box> box = {});
Blob FindUnlike(const Image &image, uint32_t background, int tolerance, std::optional<Box> box = {});

// A colour as text, "rgb(12, 34, 56)", for failure messages.
std::string Describe(uint32_t colour);

struct RenderResult {
    int status = 0;                       // the exit status tesselin run would give
    std::vector<std::string> messages;    // every line shown to the user, in order
    Image window;                         // what the canvas window shows (what -o writes)
    Image right;                          // the right canvas; empty without one
    Image sideBySide;                     // both eyes; empty without a right canvas
    std::vector<Image> frames, rightFrames; // every finished frame
    bool stopped = false;

    // Whether some message contains fragment.
    bool Said(std::string_view fragment) const;
    std::string AllMessages() const;
};

struct RenderOptions {
    std::string name = "test.tsl"; // the script's name in messages
    std::string module;            // default: the module of this build
    std::string framesPrefix;      // as tesselin run --frames; none when empty
    tesselin::Camera camera;       // as tesselin run --orbit and --distance
    tesselin::StreamLimits streamLimits; // how much the record of OpenGL calls may hold
};

// Runs script (lines as in a script file) from start to end of input.
RenderResult RenderScript(std::string_view script, const RenderOptions &options = {});

// A run driven line by line, for tests that draw with OpenGL themselves
// between commands (their calls are treated exactly as the module's).
class RenderSession {
public:
    explicit RenderSession(const RenderOptions &options = {});
    ~RenderSession();
    RenderSession(const RenderSession &) = delete;
    RenderSession &operator=(const RenderSession &) = delete;

    // Runs one line; returns the messages it caused, joined by newlines.
    std::string Command(std::string_view line);
    // Runs each line of script in turn, to its end.
    void Lines(std::string_view script);
    tesselin::Session &Session() { return *session_; }
    // Ends input and gathers the result; the module is unloaded.
    RenderResult Finish();

private:
    class Collector;
    RenderOptions options_;
    std::unique_ptr<Collector> collector_;
    std::unique_ptr<tesselin::Session> session_;
    int line_ = 0;
};

// The built module and program.
std::string ModulePath();
std::string ProgramPath();
// A directory for this test's files, removed when the test process ends.
std::string ScratchDirectory();

struct ProgramResult {
    int status = -1;
    std::string out, err;
};
// Runs the tesselin program with args, input on its standard input.
ProgramResult RunTesselin(const std::vector<std::string> &args, std::string_view input = {});

std::optional<Image> LoadPng(const std::string &path);

} // namespace render

#endif
