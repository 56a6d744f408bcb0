// How tesselin takes its script: line by line as it arrives, in memory that
// does not grow with its length, with read errors and folders refused, and
// with allocation failures and interrupts ending a run cleanly.
#include "tests/render/child_process.h"

#include "app/process/line_reader.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstring>
#include <random>

namespace {

namespace fs = std::filesystem;
using render::Child;
using render::ChildResult;
using render::ChildSetup;
using render::WaitUntil;

std::vector<std::string> Collect(tesselin::LineSource &source)
{
    std::vector<std::string> lines;
    while (auto line = source.Next())
        lines.emplace_back(*line);
    return lines;
}

// The lines a reader gets from text written into a pipe in pieces of the
// given sizes.
std::vector<std::string> ReadThroughPipe(const std::string &text, std::size_t piece)
{
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    std::thread writer([&] {
        for (std::size_t at = 0; at < text.size(); at += piece) {
            std::size_t n = std::min(piece, text.size() - at);
            if (write(ends[1], text.data() + at, n) != ssize_t(n))
                break;
        }
        close(ends[1]);
    });
    tesselin::LineReader reader(ends[0]);
    auto lines = Collect(reader);
    writer.join();
    EXPECT_EQ(reader.Error(), "");
    close(ends[0]);
    return lines;
}

TEST(ScriptLines, ReaderAndTextAgreeWithTheWholeTextSplitAtLineEnds)
{
    std::string longLine(200000, 'y'); // spans several read blocks
    std::mt19937 random(7);
    std::string mixed;
    std::vector<std::string> mixedLines;
    for (int i = 0; i < 3000; i++) {
        mixedLines.emplace_back(random() % 90, char('a' + random() % 26));
        mixed += mixedLines.back();
        mixed += random() % 3 ? "\n" : "\r\n";
    }
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"\n", {""}},
        {"a\r\nb\n\nc", {"a", "b", "", "c"}},
        {"x\n", {"x"}},
        {"no end", {"no end"}},
        {"a\rb\r\n", {"a\rb"}},
        {"one\n" + longLine + "\r\nlast", {"one", longLine, "last"}},
        {mixed, mixedLines},
    };
    for (const Case &c : cases) {
        const std::vector<std::string> &expected = c.lines;
        tesselin::TextLines text(c.text);
        EXPECT_EQ(Collect(text), expected) << c.text.substr(0, 40);
        for (std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(65536), c.text.size() + 1})
            EXPECT_EQ(ReadThroughPipe(c.text, piece), expected) << "pieces of " << piece;
    }
}

TEST(ScriptLines, ReadErrorIsNotTheEndOfTheScript)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    tesselin::LineReader reader(ends[1]); // the end that cannot be read
    EXPECT_FALSE(reader.Next());
    EXPECT_EQ(reader.Error(), std::strerror(EBADF));
    close(ends[0]);
    close(ends[1]);
}

class ScriptInput : public ::testing::Test {
protected:
    std::string Path(const std::string &name) const { return render::ScratchDirectory() + "/" + name; }
    std::string Script(const std::string &text)
    {
        std::string path = Path("script.tsl");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

const ChildSetup WriteOnlyInput = {.files = {{"/dev/null", O_WRONLY, STDIN_FILENO}}};

TEST_F(ScriptInput, FoldersAndUnreadableInputAreFaults)
{
    std::string folder = render::ScratchDirectory();
    struct Case {
        std::vector<std::string> args;
        ChildSetup setup;
        int status;
        std::string message;
    } cases[] = {
        {{"run", folder, "-o", Path("x.png")}, {}, 2, "tesselin: cannot read the script " + folder + ": Is a directory"},
        {{"run", "-", "-o", Path("x.png")},
         {.files = {{folder, O_RDONLY | O_DIRECTORY, STDIN_FILENO}}},
         2, "tesselin: cannot read the script -: Is a directory"},
        {{"run", "-", "-o", Path("x.png")}, WriteOnlyInput, 1, "-:1: Error! cannot read further: Bad file descriptor"},
        {{}, WriteOnlyInput, 1, "stdin:1: Error! cannot read further: Bad file descriptor"},
    };
    for (const Case &c : cases) {
        Child child(c.args, render::ScratchDirectory(), c.setup);
        child.CloseInput();
        ChildResult result = child.Wait();
        EXPECT_EQ(result.status, c.status) << c.message << "\n" << result.err;
        EXPECT_TRUE(Contains(result.err, c.message)) << result.err;
    }
}

TEST_F(ScriptInput, PipedScriptRunsEachLineAsItArrives)
{
    std::string frames = Path("live");
    for (std::vector<std::string> args : {std::vector<std::string>{"run", "-", "--frames", frames},
                                          std::vector<std::string>{}}) {
        fs::remove(frames + "-0001.png");
        Child child(args, render::ScratchDirectory());
        // Each line's effect shows while the input is still open.
        child.Write("canvas 32 24 persp 30 1 100 10\nnonsense\n");
        EXPECT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), ":2: Error! "); })) << child.ErrorSoFar();
        if (!args.empty()) {
            child.Write("finish\n");
            EXPECT_TRUE(WaitUntil([&] { return fs::exists(frames + "-0001.png"); }));
        }
        // A line arrives in pieces and runs once it is complete.
        child.Write("non");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        child.Write("sense again\n");
        std::string last = args.empty() ? ":3: Error! " : ":4: Error! ";
        EXPECT_TRUE(WaitUntil([&] { return Contains(child.ErrorSoFar(), last); })) << child.ErrorSoFar();
        child.CloseInput();
        ChildResult result = child.Wait();
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_FALSE(Contains(result.err, "nonsense again")) << result.err;
    }
}

// Peak memory of a run of a script of comment lines totalling bytes.
long PeakForScriptOf(std::size_t bytes, const std::string &directory)
{
    Child child({"run", "-", "-o", directory + "/long.png"}, directory);
    child.Write("canvas 50 50\n");
    std::string block;
    for (int i = 0; i < 16384; i++)
        block += "# a comment line of about sixty characters, as scripts have\n";
    for (std::size_t sent = 0; sent < bytes; sent += block.size())
        child.Write(block);
    child.Write("finish\n");
    child.CloseInput();
    ChildResult result = child.Wait();
    EXPECT_EQ(result.status, 1) << result.err; // the finish without a 3D canvas
    return result.peakKb;
}

TEST_F(ScriptInput, MemoryDoesNotGrowWithTheScriptsLength)
{
    long small = PeakForScriptOf(1, render::ScratchDirectory());
    long large = PeakForScriptOf(45u << 20, render::ScratchDirectory());
    EXPECT_LT(large, small + 16 * 1024) << "peak " << small << " KB for a short script, " << large
                                        << " KB for 45 MB";
}

// Limits the run's process to bytes of address space, with the renderer's
// threads fixed so that the limit leaves the same room on any machine.
ChildSetup AddressSpaceLimit(rlim_t bytes) { return {.addressSpace = bytes, .set = {"LP_NUM_THREADS=2"}}; }

// The smallest of a few limits under which the program starts and draws.
rlim_t RoomToStart(const std::string &directory)
{
    for (rlim_t halfGigabytes : {2, 3, 4, 6, 8}) {
        rlim_t bytes = halfGigabytes << 29;
        Child child({"run", "-"}, directory, AddressSpaceLimit(bytes));
        child.Write("canvas 32 24 persp 30 1 100 10\nfinish\n");
        child.CloseInput();
        if (child.Wait().status == 0)
            return bytes;
    }
    return 0;
}

TEST_F(ScriptInput, OutOfMemoryEndsTheRunWithAMessageAndKeepsTheImages)
{
    signal(SIGPIPE, SIG_IGN); // the child stops reading the long line
    std::string frames = Path("kept"), out = Path("kept.png");
    rlim_t limit = RoomToStart(render::ScratchDirectory());
    ASSERT_NE(limit, 0u) << "the program does not start under any of the limits tried";
    Child child({"run", "-", "--frames", frames, "-o", out}, render::ScratchDirectory(), AddressSpaceLimit(limit));
    child.Write("canvas 32 24 persp 30 1 100 10\nclear 1 0 0\nfinish\ntext 0 0 0 ");
    std::string block(1 << 20, 'x');
    for (int i = 0; i < 8192 && child.Write(block); i++) {
    }
    child.CloseInput();
    ChildResult result = child.Wait();
    EXPECT_TRUE(result.exited) << "ended by signal " << result.signal;
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "-:4: Error! ")) << result.err;
    // The line bound now stops an endless line long before memory runs out;
    // either way the run ends with an error and the images are kept.
    EXPECT_TRUE(Contains(result.err, "memory") || Contains(result.err, "longer than 16 MiB")) << result.err;
    auto frame = render::LoadPng(frames + "-0001.png"), window = render::LoadPng(out);
    ASSERT_TRUE(frame && window);
    EXPECT_EQ(render::CountNear(*frame, render::Rgb(255, 0, 0), 2), 32 * 24);
    EXPECT_EQ(render::CountNear(*window, render::Rgb(255, 0, 0), 2), 32 * 24);
}

// A line over the bound (a file or pipe that never sends a line end) is an
// error on its own line, and reading goes on after its end, in memory far
// below what holding the line would take.
TEST_F(ScriptInput, OverlongLineIsAnErrorAndReadingGoesOn)
{
    std::string overlong(17u << 20, 'x');
    std::string script = Script(overlong + "\ncanvas 20 10\nnonsense 1\n");
    rlim_t limit = std::max<rlim_t>(1500000000, RoomToStart(render::ScratchDirectory()));
    struct Case {
        std::vector<std::string> args;
        std::string input;      // sent to standard input
        std::string laterLine;  // what shows that reading went on
    } cases[] = {
        {{"run", script, "-o", Path("after.png")}, "", script + ":3:"},
        {{"check", script}, "", script + ":3:1: Error!"},
        {{"check", "-"}, std::string(20000000, 'y'), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        fs::remove(Path("after.png"));
        Child child(c.args, render::ScratchDirectory(), AddressSpaceLimit(limit));
        child.Write(c.input);
        child.CloseInput();
        ChildResult result = child.Wait();
        result.err = result.out + result.err; // check reports on standard output
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.status, 1) << result.err.substr(0, 2000);
        std::string name = c.args[1] == "-" ? "stdin" : script;
        EXPECT_TRUE(Contains(result.err, name + ":1: Error! the line is longer than 16 MiB"))
            << result.err.substr(0, 2000);
        EXPECT_FALSE(Contains(result.err, "xxxxxxxx")) << "the line is not echoed";
        if (!c.laterLine.empty()) {
            EXPECT_TRUE(Contains(result.err, c.laterLine)) << result.err.substr(0, 2000);
        }
    }
}

} // namespace
