// The tesselin program from the outside: its command line, exit status,
// messages, images and command window.
#include "tests/render/render_harness.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using render::RunTesselin;

std::string WriteScript(const std::string &name, const std::string &text)
{
    return WriteFile(render::ScratchDirectory() + "/" + name, text);
}

TEST(Program, HelpExplainsTheCommandsAndExitsZero)
{
    auto result = RunTesselin({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char *fragment : {"tesselin run SCRIPT -o OUT.png", "--right", "--side-by-side", "--frames",
                                 "--module", ".save", "Exit status"})
        EXPECT_TRUE(Contains(result.out, fragment)) << fragment;
    EXPECT_TRUE(result.err.empty());
}

TEST(Program, RunWritesTheWelcomeCanvasAsAReadablePng)
{
    std::string script = WriteScript("welcome.tsl", "# nothing but the welcome canvas\n\n");
    std::string out = render::ScratchDirectory() + "/welcome.png";
    auto result = RunTesselin({"run", script, "-o", out});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    auto image = render::LoadPng(out);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 400);
    EXPECT_EQ(image->height, 300);
    // White with black text in the upper part.
    long black = render::CountNear(*image, render::Rgb(0, 0, 0), 0);
    EXPECT_GT(black, 1000);
    EXPECT_GT(render::CountNear(*image, render::Rgb(255, 255, 255), 0), 400 * 300 - black - 1);
    EXPECT_EQ(render::FindNear(*image, render::Rgb(0, 0, 0), 0, render::Box{0, 0, 400, 20}).count > 0, true);
}

TEST(Program, ErrorsAreReportedWithScriptAndLineAndExitOne)
{
    std::string script = WriteScript("errors.tsl", "canvas 100 80\n# a comment\n\nerase\n  \tnonsense 1 2\r\n");
    std::string out = render::ScratchDirectory() + "/errors.png";
    auto result = RunTesselin({"run", script, "-o", out});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, script + ":4: Error! ")) << result.err;
    EXPECT_TRUE(Contains(result.err, script + ":5: Error! ")) << result.err;
    // The image is still written: the run went to its end.
    auto image = render::LoadPng(out);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 100);
}

TEST(Program, StartUpFaultsExitTwo)
{
    std::string script = WriteScript("fine.tsl", "canvas 10 10\n");
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"run"}, "run needs a script"},
        {{"run", "/nonexistent/script.tsl", "-o", "x.png"}, "cannot read the script /nonexistent/script.tsl"},
        {{"run", script, "--bogus"}, "unknown option --bogus"},
        {{"run", script, "-o"}, "-o needs a value"},
        {{"run", script, "--module", "/nonexistent/tesselin.so"}, "the plug-in module /nonexistent/tesselin.so does not exist"},
        {{"run", script, "--module", script}, "cannot load the plug-in module"},
        {{"draw", script}, "unknown command draw"},
    };
    for (const Case &c : cases) {
        auto result = RunTesselin(c.args);
        EXPECT_EQ(result.status, 2) << c.message;
        EXPECT_TRUE(Contains(result.err, c.message)) << result.err;
    }
}

TEST(Program, ImagesThatCannotBeWrittenFailTheRun)
{
    std::string script = WriteScript("fine.tsl", "canvas 10 10\n");
    // A directory that does not exist, and a path that is a directory.
    for (std::string out : {std::string("/nonexistent/directory/out.png"), render::ScratchDirectory()}) {
        auto result = RunTesselin({"run", script, "-o", out});
        EXPECT_EQ(result.status, 1) << out;
        EXPECT_TRUE(Contains(result.err, "Error! cannot write " + out)) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists("/nonexistent/directory/out.png"));
}

TEST(Program, NoCanvasLeftMeansNoImage)
{
    std::string script = WriteScript("gone.tsl", "canvas 0 10\n");
    std::string out = render::ScratchDirectory() + "/gone.png";
    auto result = RunTesselin({"run", script, "-o", out});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "Error! Too large canvas"));
    EXPECT_TRUE(Contains(result.err, "Error! cannot write " + out + ": there is no canvas")) << result.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Program, StereoOutputsNeedAStereoPair)
{
    std::string script = WriteScript("flat.tsl", "canvas 30 20\n");
    std::string directory = render::ScratchDirectory();
    auto result = RunTesselin({"run", script, "--right", directory + "/r.png", "--side-by-side", directory + "/s.png"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "there is no right canvas")) << result.err;
    EXPECT_TRUE(Contains(result.err, "there is no stereo pair")) << result.err;
}

TEST(Program, StereoPairWritesBothEyesAndSideBySide)
{
    std::string script = WriteScript("pair.tsl", "canvas 30 20 0\n");
    std::string directory = render::ScratchDirectory();
    auto result = RunTesselin({"run", script, "-o", directory + "/l.png", "--right=" + directory + "/r.png",
                               "--side-by-side", directory + "/s.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    auto left = render::LoadPng(directory + "/l.png"), right = render::LoadPng(directory + "/r.png");
    auto pair = render::LoadPng(directory + "/s.png");
    ASSERT_TRUE(left && right && pair);
    EXPECT_EQ(right->width, 30);
    EXPECT_EQ(pair->width, 60);
    EXPECT_EQ(pair->height, 20);
}

TEST(Program, PipedCommandWindowAnswersEachLineAndSaves)
{
    std::string out = render::ScratchDirectory() + "/window.png";
    auto result = RunTesselin({}, "canvas 64 32\nwrong\n.save " + out + "\n.bogus\n.quit\ncanvas 10 10\n");
    EXPECT_EQ(result.status, 1); // "wrong" failed
    EXPECT_TRUE(Contains(result.err, "stdin:2: Error! ")) << result.err;
    EXPECT_TRUE(Contains(result.err, "Saved " + out));
    EXPECT_TRUE(Contains(result.err, "Window commands:"));
    EXPECT_FALSE(Contains(result.err + result.out, "tesselin>")); // no prompt without a terminal
    auto image = render::LoadPng(out);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 64); // saved before .quit; the line after it never ran
}

TEST(Program, CommandWindowEndsCleanlyAtEndOfInput)
{
    auto result = RunTesselin({}, "canvas 64 32");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
}

TEST(Program, ScriptFromStandardInput)
{
    std::string out = render::ScratchDirectory() + "/stdin.png";
    auto result = RunTesselin({"run", "-", "-o", out}, "canvas 12 34\n");
    EXPECT_EQ(result.status, 0) << result.err;
    auto image = render::LoadPng(out);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->height, 34);
}

TEST(Program, QuotedTokensKeepTheirSpaces)
{
    // The canvas command sees "12 x" as one token: atoi reads 12.
    std::string out = render::ScratchDirectory() + "/quoted.png";
    auto result = RunTesselin({"run", "-", "-o", out}, "canvas \"12 x\" \"3\"4\n");
    EXPECT_EQ(result.status, 0) << result.err;
    auto image = render::LoadPng(out);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 12);
    EXPECT_EQ(image->height, 34);
}

TEST(Program, NoOpenGLIsAStartUpFault)
{
    // With Mesa's drivers out of reach EGL finds nothing to render with.
    std::string script = WriteScript("fine.tsl", "canvas 10 10\n");
    setenv("LIBGL_DRIVERS_PATH", "/nonexistent", 1);
    setenv("EGL_PLATFORM", "surfaceless", 1);
    auto result = RunTesselin({"run", script});
    unsetenv("LIBGL_DRIVERS_PATH");
    unsetenv("EGL_PLATFORM");
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_TRUE(Contains(result.err, "tesselin: no OpenGL")) << result.err;
}

} // namespace

namespace {

std::string FileStart(const std::string &path, std::size_t bytes)
{
    std::ifstream file(path, std::ios::binary);
    std::string start(bytes, '\0');
    file.read(start.data(), std::streamsize(bytes));
    return start.substr(0, std::size_t(file.gcount()));
}

TEST(Program, OutputsAreWrittenInTheFormatTheirNameSays)
{
    const std::string png("\x89PNG\r\n\x1a\n", 8), jpeg("\xff\xd8\xff", 3);
    std::string script = WriteScript("formats.tsl", "canvas 40 30 0\n");
    struct Case {
        const char *option, *name;
        const std::string *magic; // none: refused before the run, exit 2
        const char *says;
    } cases[] = {
        {"-o", "a.png", &png, ""},
        {"-o", "b.PNG", &png, ""},
        {"-o", "c.jpg", &jpeg, ""},
        {"-o", "d.JPEG", &jpeg, ""},
        {"--right", "e.jpeg", &jpeg, ""},
        {"--side-by-side", "f.jpg", &jpeg, ""},
        {"-o", "g.bmp", nullptr, "\".bmp\" is no image format tesselin writes; name it .png, .jpg or .jpeg"},
        {"-o", "h.png.gif", nullptr, "\".gif\" is no image format"},
        {"-o", "noextension", nullptr, "the name has no extension"},
        {"--right", "i.tiff", nullptr, "\".tiff\" is no image format"},
        {"--pair", "j.webp", nullptr, "name it .png, .jpg, .jpeg or .mpo"},
    };
    for (const Case &c : cases) {
        std::string out = render::ScratchDirectory() + "/" + c.name;
        std::filesystem::remove(out);
        auto result = RunTesselin({"run", script, c.option, out});
        if (c.magic) {
            EXPECT_EQ(result.status, 0) << c.name << ": " << result.err;
            EXPECT_EQ(FileStart(out, c.magic->size()), *c.magic) << c.name;
        } else {
            EXPECT_EQ(result.status, 2) << c.name;
            EXPECT_TRUE(Contains(result.err, "tesselin: cannot write " + out + ": ")) << result.err;
            EXPECT_TRUE(Contains(result.err, c.says)) << result.err;
            EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
        }
    }
}

TEST(Program, JpegOutputHoldsThePicture)
{
    std::string script = WriteScript("red.tsl", "canvas 32 24 persp 30 1 100 10\nclear 1 0 0\nfinish\n");
    std::string jpg = render::ScratchDirectory() + "/red.jpg", png = render::ScratchDirectory() + "/red.png";
    ASSERT_EQ(RunTesselin({"run", script, "-o", jpg}).status, 0);
    // Read back through the program's own picture command and saved as PNG.
    std::string back = WriteScript("back.tsl", "canvas 32 24\npicture l 0 0 1 abs " + jpg + "\n");
    auto result = RunTesselin({"run", back, "-o", png});
    ASSERT_EQ(result.status, 0) << result.err;
    auto image = render::LoadPng(png);
    ASSERT_TRUE(image);
    EXPECT_GT(render::CountNear(*image, render::Rgb(255, 0, 0), 12), 32 * 24 * 9 / 10);
}

TEST(Program, PictureFilesThePluginCannotFindAreWarnedAbout)
{
    std::string directory = render::ScratchDirectory();
    struct Case {
        std::string line;
        std::vector<std::string> says; // empty: nothing after the line
    } cases[] = {
        {"picture l 0 0 1 rel missing.png", {":2:21: Warning: picture file \"missing.png\" not found"}},
        {"picture l 0 0 1 rel " + directory + "/here.png",
         {":2:17: Warning: picture takes \"" + directory + "/here.png\" from the current directory", "not abs"}},
        {"picture l 0 0 1 abs " + directory + "/here.png", {}},
        {"picture l 0 0 1 abs " + directory + "/gone.png", {":2:21: Warning: picture file", "gone.png"}},
    };
    std::string picture = WriteScript("makes.tsl", "canvas 8 8\n");
    ASSERT_EQ(RunTesselin({"run", picture, "-o", directory + "/here.png"}).status, 0);
    for (const Case &c : cases) {
        std::string script = WriteScript("pictures.tsl", "canvas 40 30\n" + c.line + "\n");
        auto result = RunTesselin({"run", script, "-o", directory + "/pictures.png"});
        // A warning leaves the exit status alone.
        EXPECT_EQ(result.status, 0) << c.line << "\n" << result.err;
        for (const std::string &part : c.says)
            EXPECT_TRUE(Contains(result.err, part)) << c.line << "\n  said: " << result.err << "\n  missing: " << part;
        if (c.says.empty()) {
            EXPECT_EQ(result.err, "") << c.line;
        }
    }
}

TEST(Program, VersionIsTheProjectsOne)
{
    auto result = RunTesselin({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, std::string("tesselin ") + TESSELIN_VERSION + "\n");
    // The manual names the same version.
    std::ifstream manual(std::string(TESSELIN_SOURCE_DIR) + "/manual.htm");
    std::stringstream text;
    text << manual.rdbuf();
    EXPECT_TRUE(Contains(text.str(), std::string("tesselin ") + TESSELIN_VERSION + "</")) << "manual.htm";
}

} // namespace
