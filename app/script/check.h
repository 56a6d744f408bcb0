// tesselin check: a script read line by line without running it, with every
// finding the host can make before the plug-in sees a line.
#ifndef TESSELIN_APP_SCRIPT_CHECK_H
#define TESSELIN_APP_SCRIPT_CHECK_H

#include "app/process/line_reader.h"
#include "app/script/hints.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tesselin {

struct LineFinding {
    int line = 0;
    Finding finding;
};

class ScriptChecker {
public:
    // Files named by the script are looked for from directory, as a run
    // started there would look for them.
    explicit ScriptChecker(std::filesystem::path directory) : directory_(std::move(directory)) {}

    // The next line of the script (its number counted from 1).
    void Line(std::string_view text, int number);
    // A line too long to read (process/line_reader.h): the plug-in would
    // never see it.
    void LineTooLong(int number);
    const std::vector<LineFinding> &Findings() const { return findings_; }
    // The findings so far, in line order, handed over and forgotten: a long
    // script's report is written as it goes.
    std::vector<LineFinding> TakeFindings() { return std::exchange(findings_, {}); }

private:
    // Follows the canvases the script makes; false when the line would meet
    // a closed gate (or make no canvas), so that it would not run.
    bool FollowCanvases(const std::vector<Token> &tokens, int number);
    // Whether the host sets up the 3D view of a canvas line whose projection
    // keyword is token first; reports the numbers it refuses.
    bool ViewAccepted(const std::vector<Token> &tokens, int first, int number);

    std::filesystem::path directory_;
    std::vector<LineFinding> findings_;
    NumberFileScans scans_;
    // What the plug-in's gates would answer: the welcome canvas exists at
    // load, and modelling begins with a 3D canvas.
    bool canvas_ = true;
    bool modeling_ = false;
    bool pair_ = false; // a stereo pair, for picture r
    // A gate is reported once until the next canvas line, not on every line.
    bool gateReported_ = false;
};

// The findings of a whole script (its lines split at LF, a CR before it and a
// byte-order mark at its start ignored), in line order.
std::vector<LineFinding> CheckText(std::string_view text, const std::filesystem::path &directory);

// Checks a whole script named name and writes one line per finding to out
// (name:LINE:COLUMN: ...) as the lines are read, then a summary line; 1 when
// anything was found, 0 when the script is clean. Reading stops at the
// source's end or error; an error is the caller's to report.
int CheckScript(const std::string &name, LineSource &lines, const std::filesystem::path &directory,
                std::ostream &out);
int CheckScript(const std::string &name, std::string_view text, const std::filesystem::path &directory,
                std::ostream &out);

} // namespace tesselin

#endif
