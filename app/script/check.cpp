#include "app/script/check.h"
#include "app/script/command_forms.h"
#include "app/camera/projection.h"
#include "app/process/line_reader.h"

#include <cstdlib>
#include <functional>

namespace tesselin {

// The projection numbers of a 3D canvas, read as the plug-in reads them
// (atof; any word but ortho is a perspective), against what the host's
// camera refuses.
bool ScriptChecker::ViewAccepted(const std::vector<Token> &tokens, int first, int number)
{
    auto value = [&](int i) { return std::atof(tokens[first + i].text.c_str()); };
    Projection projection{tokens[first].text == "ortho", value(1), value(2), value(3), value(4)};
    auto problem = ProjectionProblem(projection);
    if (!problem)
        return true;
    findings_.push_back({number, {Severity::Error, tokens[first + 1].column,
                                  "the 3D view cannot be set up: " + *problem +
                                      "; the run refuses this canvas's view, and its 3D lines answer Modeling not begun"}});
    gateReported_ = true;
    return false;
}

bool ScriptChecker::FollowCanvases(const std::vector<Token> &tokens, int number)
{
    const CommandInfo *command = FindCommand(tokens[0].text);
    if (!command)
        return false;
    const int count = static_cast<int>(tokens.size());
    if (command->keyword == "canvas" && command->Accepts(count)) {
        gateReported_ = false;
        // The host makes canvases from 1 to 8192 pixels on a side.
        for (int side = 1; side <= 2; side++) {
            long long size = std::strtoll(tokens[side].text.c_str(), nullptr, 10);
            if (size < 1 || size > 8192) {
                findings_.push_back({number, {Severity::Error, tokens[side].column,
                                              "canvases are 1 to 8192 pixels wide and high; this line will answer "
                                              "Too large canvas and leave no canvas"}});
                canvas_ = modeling_ = pair_ = false;
                return false;
            }
        }
        canvas_ = true;
        modeling_ = (count == 8 || count == 11) && ViewAccepted(tokens, count == 11 ? 4 : 3, number);
        pair_ = count == 4 || count == 11;
        return true;
    }
    if (command->keyword == "picture" && count == 7 && tokens[1].text == "r" && canvas_ && !pair_)
        findings_.push_back({number, {Severity::Warning, tokens[1].column,
                                      "picture r draws on the right canvas of a stereo pair, and no pair is made "
                                      "before this line; it will answer No right canvas"}});
    const bool passes = command->gate == Gate::None || (canvas_ && (command->gate == Gate::Canvas || modeling_));
    if (passes || gateReported_)
        return passes;
    const std::string name = "\"" + std::string(command->keyword) + "\"";
    if (command->gate != Gate::None && !canvas_) {
        findings_.push_back({number, {Severity::Error, tokens[0].column,
                                      name + " needs a canvas, and none is made before this line; it will answer "
                                             "No canvas (and so will the lines after it)"}});
        gateReported_ = true;
    } else if (command->gate == Gate::Modeling && !modeling_) {
        findings_.push_back({number, {Severity::Error, tokens[0].column,
                                      name + " draws in 3D, and no 3D canvas is made before this line; it will "
                                             "answer Modeling not begun (and so will the lines after it); "
                                             "e.g. canvas 640 480 persp 30 1 100 10"}});
        gateReported_ = true;
    }
    return false;
}

void ScriptChecker::LineTooLong(int number)
{
    findings_.push_back({number, {Severity::Error, 0, LineTooLongMessage()}});
}

void ScriptChecker::Line(std::string_view text, int number)
{
    auto tokens = TokenizeLine(text);
    if (!tokens || tokens->empty())
        return;
    auto findings = ExamineTokens(*tokens);
    const bool countFits = findings.empty() || findings.front().severity != Severity::Error;
    for (Finding &finding : findings)
        findings_.push_back({number, std::move(finding)});
    if (!countFits)
        return;
    if (!FollowCanvases(*tokens, number))
        return;
    for (Finding &finding : ExamineFiles(*tokens, directory_, &scans_))
        findings_.push_back({number, std::move(finding)});
}

} // namespace tesselin

namespace tesselin {

namespace {

// Hands every finding of the lines to found as each line is read.
void EachFinding(LineSource &lines, const std::filesystem::path &directory,
                 const std::function<void(const LineFinding &)> &found)
{
    ScriptChecker checker(directory);
    int number = 0;
    while (auto line = lines.Next()) {
        if (lines.TooLong())
            checker.LineTooLong(++number);
        else
            checker.Line(*line, ++number);
        for (const LineFinding &finding : checker.TakeFindings())
            found(finding);
    }
}

} // namespace

std::vector<LineFinding> CheckText(std::string_view text, const std::filesystem::path &directory)
{
    TextLines lines(text);
    std::vector<LineFinding> all;
    EachFinding(lines, directory, [&](const LineFinding &finding) { all.push_back(finding); });
    return all;
}

int CheckScript(const std::string &name, LineSource &lines, const std::filesystem::path &directory,
                std::ostream &out)
{
    int errors = 0, warnings = 0;
    EachFinding(lines, directory, [&](const LineFinding &found) {
        out << FormatFinding(name + ":" + std::to_string(found.line), found.finding) << "\n";
        (found.finding.severity == Severity::Error ? errors : warnings)++;
    });
    if (errors + warnings == 0) {
        out << name << ": no problems found\n";
        return 0;
    }
    out << name << ": " << errors << (errors == 1 ? " error, " : " errors, ") << warnings
        << (warnings == 1 ? " warning" : " warnings") << "\n";
    return 1;
}

int CheckScript(const std::string &name, std::string_view text, const std::filesystem::path &directory,
                std::ostream &out)
{
    TextLines lines(text);
    return CheckScript(name, lines, directory, out);
}

} // namespace tesselin
