// The tesselin program's command line from the outside: which argument lists
// it refuses, with which words and exit status, what it suggests for a slip,
// and that its help texts and its options agree.
#include "app/cli/options.h"
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

namespace {

using render::RunTesselin;

struct Case {
    std::vector<std::string> args;
    // The whole of standard error, up to the "Try ... --help" line.
    std::string message;
};

std::string Joined(const std::vector<std::string> &args)
{
    std::string joined;
    for (const std::string &arg : args)
        joined += (joined.empty() ? "" : " ") + ("'" + arg + "'");
    return joined;
}

// Runs every case with s.tsl standing for a script that exists (in the
// arguments and the message); each must exit 2 with its message and the
// pointer to the help of the command it ran.
void ExpectUsageFaults(const std::vector<Case> &cases, const std::string &program)
{
    std::string script = render::ScratchDirectory() + "/s.tsl";
    std::ofstream(script) << "canvas 10 10\n";
    for (const Case &c : cases) {
        std::vector<std::string> args;
        for (const std::string &arg : c.args)
            args.push_back(arg == "s.tsl" ? script : arg);
        std::string message = std::regex_replace(c.message, std::regex("s\\.tsl"), script);
        auto result = RunTesselin(args);
        EXPECT_EQ(result.status, 2) << Joined(c.args);
        EXPECT_EQ(result.err, program + ": " + message + "\nTry " + program + " --help\n") << Joined(c.args);
        EXPECT_TRUE(result.out.empty()) << Joined(c.args);
    }
}

TEST(ProgramArguments, RunAndCheckRefuseWhatTheyDoNotTake)
{
    const std::string anaglyphs = "script, color, half-color, gray, dubois, green-magenta, amber-blue";
    ExpectUsageFaults(
        {
            {{"run"}, "run needs a script"},
            {{"check"}, "check needs a script"},
            {{"run", ""}, "run needs a script"},
            {{"run", "s.tsl", "--bogus=3"}, "unknown option --bogus"},
            {{"run", "s.tsl", "-o"}, "-o needs a value"},
            {{"run", "s.tsl", "-o", ""}, "-o needs a value"},
            {{"run", "s.tsl", "--fps="}, "--fps needs a value"},
            {{"run", "s.tsl", "-o=x.png"}, "unknown option -o=x.png"},
            {{"run", "s.tsl", "--samples", "65"}, "--samples takes a whole number from 1 to 64, not 65"},
            {{"run", "s.tsl", "--samples=4x"}, "--samples takes a whole number from 1 to 64, not 4x"},
            {{"run", "s.tsl", "--anaglyph", "red"}, "--anaglyph takes one of " + anaglyphs + ", not red"},
            {{"run", "s.tsl", "--layout", "diagonal"},
             "--layout takes one of parallel, cross-eyed, over-under, half-width, half-height, not diagonal"},
            {{"run", "s.tsl", "--animation", "a.avi"}, "--animation writes .gif, .webp or .mp4 files, not a.avi"},
            {{"run", "s.tsl", "--fps", "121"}, "--fps takes a number above 0 and at most 120, not 121"},
            {{"run", "s.tsl", "--orbit", "30"},
             "--orbit takes two angles in degrees, AZIMUTH,ELEVATION (e.g. --orbit 30,15), not 30"},
            {{"run", "s.tsl", "--distance", "0"}, "--distance takes a distance above 0, not 0"},
            {{"run", "s.tsl", "t.tsl"}, "unknown option t.tsl"},
            {{"run", "-", "-x"}, "unknown option -x"},
            // The first fault wins, and --help does not hide it.
            {{"run", "s.tsl", "-h", "--bogus", "--samples", "0"}, "unknown option --bogus"},
            {{"check", "s.tsl", "t.tsl"}, "unknown command t.tsl (did you mean: tesselin run t.tsl?)"},
        },
        "tesselin");
}

TEST(ProgramArguments, SlipsAreAnsweredWithTheWordMeant)
{
    ExpectUsageFaults(
        {
            {{"rnu", "s.tsl"}, "unknown command rnu (did you mean: tesselin run?)"},
            {{"chek", "s.tsl"}, "unknown command chek (did you mean: tesselin check?)"},
            {{"veiw", "s.tsl"}, "unknown command veiw (did you mean: tesselin view?)"},
            // Not near a command word: perhaps a script meant to run.
            {{"draw"}, "unknown command draw (did you mean: tesselin run draw?)"},
            {{"s.tsl"}, "unknown command s.tsl (did you mean: tesselin run s.tsl?)"},
            {{"--module", "x", "run", "s.tsl"}, "unknown command run (run comes first: tesselin run ...)"},
            {{"run", "s.tsl", "--sample", "4"}, "unknown option --sample (did you mean --samples?)"},
            {{"run", "s.tsl", "--ouput", "x.png"}, "unknown option --ouput (did you mean --output?)"},
            {{"run", "s.tsl", "--sidebyside", "x"}, "unknown option --sidebyside (did you mean --side-by-side?)"},
            {{"run", "s.tsl", "--Timing"}, "unknown option --Timing (did you mean --timing?)"},
            {{"run", "s.tsl", "--timing=1"}, "unknown option --timing (did you mean --timing, without a value?)"},
            {{"--no-widow"}, "unknown option --no-widow (did you mean --no-window?)"},
            // An option of another command says whose it is.
            {{"run", "s.tsl", "--no-window"}, "unknown option --no-window (an option of the command window)"},
            {{"run", "s.tsl", "--mode", "left"}, "unknown option --mode (an option of tesselin view)"},
            {{"-o", "x.png"}, "unknown option -o (an option of tesselin run)"},
            {{"check", "s.tsl", "--samples", "2"}, "unknown option --samples (an option of tesselin run)"},
            // Far from every option: nothing to suggest.
            {{"run", "s.tsl", "--bogus"}, "unknown option --bogus"},
            {{"-"}, "unknown option -"},
        },
        "tesselin");
}

TEST(ProgramArguments, ViewRefusesWhatItDoesNotTake)
{
    ExpectUsageFaults(
        {
            {{"view"}, "view needs a script"},
            {{"view", "--screenshot=a.png"}, "view needs a script"},
            {{"view", "-"}, "unknown option -"},
            {{"view", ""}, "unknown option "},
            {{"view", "s.tsl", "t.tsl"}, "unknown option t.tsl"},
            {{"view", "s.tsl", "--screenshot"}, "--screenshot needs a value"},
            {{"view", "s.tsl", "--reloads", "1"}, "--reloads only goes with --screenshot"},
            {{"view", "--help", "--reloads", "1"}, "--reloads only goes with --screenshot"},
            {{"view", "s.tsl", "--reloads", "1", "--turn", "3,4"}, "--turn only goes with --screenshot"},
            {{"view", "s.tsl", "--screenshot", "a", "--reloads", "2x"}, "--reloads needs a count of 0 or more, not 2x"},
            {{"view", "s.tsl", "--mode", "stereo"},
             "--mode is window, left, right, anaglyph or side-by-side, not stereo"},
            {{"view", "s.tsl", "--samples", "0"}, "--samples takes a whole number from 1 to 64, not 0"},
            {{"view", "s.tsl", "--sample", "4"}, "unknown option --sample (did you mean --samples?)"},
            {{"view", "s.tsl", "--screenshoot", "a"}, "unknown option --screenshoot (did you mean --screenshot?)"},
            {{"view", "s.tsl", "--swap-eyes=yes"}, "unknown option --swap-eyes (did you mean --swap-eyes, without a value?)"},
            {{"view", "s.tsl", "--layout", "parallel"}, "unknown option --layout (an option of tesselin run)"},
        },
        "tesselin view");
}

// The sorted --options a help text names between two lines.
std::set<std::string> OptionsNamed(const std::string &help, const std::string &from, const std::string &to)
{
    std::size_t begin = help.find(from), end = help.find(to, begin);
    std::string part = help.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    std::set<std::string> names;
    std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(part.begin(), part.end(), option); it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

TEST(ProgramArguments, EveryHelpIsOneTextAndEveryOptionItNamesIsTaken)
{
    auto help = RunTesselin({"--help"});
    ASSERT_EQ(help.status, 0);
    EXPECT_TRUE(help.err.empty());
    for (std::vector<std::string> args : {std::vector<std::string>{"-h"}, {"--help=x"}, {"run", "--help"},
                                          {"check", "-h"}, {"run", "s.tsl", "--help", "--samples", "2"}}) {
        auto again = RunTesselin(args);
        EXPECT_EQ(again.status, 0) << Joined(args);
        EXPECT_EQ(again.out, help.out) << Joined(args);
    }
    auto view = RunTesselin({"view", "--help"});
    ASSERT_EQ(view.status, 0);
    EXPECT_EQ(RunTesselin({"view", "-h"}).out, view.out);
    EXPECT_EQ(view.out.rfind("Usage: tesselin view SCRIPT [options]\n", 0), 0u) << view.out;
    // What the help texts promise each command takes, each takes: the
    // option is read (its value may still be refused), never unknown; the
    // run stops at the unknown word after it (a flag leaves 0 unknown).
    struct Section {
        std::vector<std::string> command;
        std::set<std::string> options;
    } sections[] = {
        {{"run", "s.tsl"}, OptionsNamed(help.out, "Options of run:", "The command window")},
        {{"view", "s.tsl"}, OptionsNamed(view.out, "Options:", "Exit status")},
    };
    for (const Section &section : sections) {
        EXPECT_GE(section.options.size(), 10u);
        for (const std::string &option : section.options) {
            std::vector<std::string> args = section.command;
            args.insert(args.end(), {option, "0", "--bogus"});
            auto result = RunTesselin(args);
            EXPECT_EQ(result.status, 2) << Joined(args);
            EXPECT_EQ(result.err.find("unknown option " + option + " "), std::string::npos) << result.err;
            EXPECT_EQ(result.err.find("unknown option " + option + "\n"), std::string::npos) << result.err;
        }
    }
    // And the other way round: every option of run and view is in its help
    // (--help itself is named only in the program's usage lines).
    for (auto [command, text] : {std::pair{tesselin::Command::Run, help.out}, std::pair{tesselin::Command::View, view.out}})
        for (const std::string &option : tesselin::OptionsOf(command)) {
            if (option != "--help") {
                EXPECT_TRUE(std::regex_search(text, std::regex(option + "[ =,]"))) << option;
            }
        }
}

} // namespace
