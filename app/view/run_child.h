// A script run beside the live window: a child process owns the module, its
// OpenGL contexts and the session (the plug-in stays on that child's one
// thread), and hands finished pictures back through a pipe. The window's
// process never waits for it, so it keeps painting and answering keys; a run
// is stopped by ending the child, and a module that crashes takes only the
// child with it.
#ifndef TESSELIN_APP_VIEW_RUN_CHILD_H
#define TESSELIN_APP_VIEW_RUN_CHILD_H

#include "app/camera/camera.h"
#include "app/view/script_runner.h"

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesselin {

// What the child does with each script run.
struct RunSettings {
    std::string script, modulePath;
    int samples = 1;
    StereoLook look;
};

// Where a run is, as the child last said: the line it is at (0 before the
// first) of how many.
struct RunPlace {
    int line = 0, lines = 0;
};

// A finished run or redraw from the child.
struct ChildOutcome {
    bool fromRun = false; // a run of the script, not a redraw asked for by Turn
    SceneOutcome outcome;
    double scriptDistance = 0;
    Camera camera; // the camera the pictures were made with
    // The answer to Export: 0 for a run or redraw, 1 written, 2 not written
    // (the child said why on standard error). It carries no pictures.
    int exported = 0;
};

// How a child ended that had not been asked to.
struct ChildEnd {
    int signal = 0;     // the signal that ended it, or 0
    int exitStatus = 0; // else its exit status
    RunPlace place;     // where the script was
    bool duringRun = false; // it was running the script, not redrawing
};

// The pictures of an outcome as bytes and back: what goes through the pipe.
std::vector<char> EncodeOutcome(const ChildOutcome &outcome);
// The outcome at the start of bytes when they hold a whole one; used says how
// many bytes it took (0: not whole yet). None, with used set, for bytes that
// cannot be an outcome.
std::optional<ChildOutcome> DecodeOutcome(const std::vector<char> &bytes, std::size_t &used);

class RunChild {
public:
    explicit RunChild(RunSettings settings) : settings_(std::move(settings)) {}
    ~RunChild() { Stop(); }
    RunChild(const RunChild &) = delete;
    RunChild &operator=(const RunChild &) = delete;

    // Ends any child and starts one that runs the script from the start
    // with camera; false (with the reason) when no process can be made.
    bool Run(const Camera &camera, std::string &error);
    // Asks the child to show its last good run from camera (redrawn where
    // the host kept the frame, else the script run again there); false when
    // there is no child to ask or it is busy.
    bool Turn(const Camera &camera);
    // Asks the child to write the 3D model of its last frame to path (the
    // script's model: the camera is not in it); false when there is no child
    // to ask or it is busy.
    bool Export(const std::string &path);
    // Ends the child at once, whatever it is doing.
    void Stop();

    bool Alive() const { return pid_ > 0; }
    // A run or a redraw was asked for and has not come back yet.
    bool Busy() const { return Alive() && pending_ > 0; }
    bool Running() const { return Busy() && running_; }
    RunPlace Place() const;

    // Takes what the child sent; outcomes in the order they were made. When
    // the child ended without being asked, end says how.
    std::vector<ChildOutcome> Collect(std::optional<ChildEnd> &end);

    // Memory the child and the window share (where the run is).
    struct Shared;

private:
    void Reap(std::optional<ChildEnd> *end);

    RunSettings settings_;
    pid_t pid_ = -1;
    int requests_ = -1, replies_ = -1; // the pipes' ends in this process
    Shared *shared_ = nullptr;           // the place, written by the child
    std::vector<char> received_;
    int pending_ = 0;
    bool running_ = false;
};

} // namespace tesselin

#endif
