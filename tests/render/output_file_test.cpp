// Images written where writing fails: full devices, FIFOs, standard output,
// read-only folders, size limits. Whatever was at the path before survives a
// failed write, and special files are written in place, never removed.
#include "tests/render/child_process.h"
#include "tests/shared/spawn.h"
#include "tests/shared/text_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using render::Child;
using render::ChildResult;
using render::ChildSetup;

// A folder every user may enter, for runs under another user.
class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = render::ScratchDirectory() + "/open";
        fs::create_directories(directory_);
        for (fs::path p = directory_; p != p.root_path(); p = p.parent_path())
            if (p.string().find(fs::temp_directory_path().string()) == 0 && p != fs::temp_directory_path())
                fs::permissions(p, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                       fs::perms::group_read | fs::perms::others_read);
    }
    std::string Path(const std::string &name) const { return directory_ + "/" + name; }
    std::string Script(const std::string &text)
    {
        std::string path = Path("script.tsl");
        WriteFile(path, text);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
        return path;
    }
    ChildResult Run(const std::vector<std::string> &args, const ChildSetup &setup = {}, const std::string &input = {})
    {
        Child child(args, directory_, setup);
        EXPECT_TRUE(child.Started());
        child.Write(input);
        child.CloseInput();
        return child.Wait();
    }
    // Files left in the folder whose names start with a dot (temporaries).
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(directory_))
            if (entry.path().filename().string()[0] == '.')
                names.push_back(entry.path().string());
        return names;
    }

    std::string directory_;
};

// Limits every file the program writes to a few KB, so that a big image
// fails half-way. The signal such a write raises is the program's own to
// ignore: a run it kills fails the tests below.
constexpr rlim_t SmallFile = 4096;
const ChildSetup SmallFileLimit = {.fileSize = SmallFile};

// A plain 1500 x 1500 canvas compresses to well over the limit.
constexpr const char *BigFlat = "canvas 1500 1500\n";
constexpr const char *BigFrame = "canvas 1500 1500 persp 30 1 100 10\nclear 0.2 0.3 0.4\nfinish\n";

TEST_F(OutputFiles, FailedWriteKeepsTheExistingFileForEveryOutput)
{
    struct Case {
        const char *name;
        const char *script;
        std::vector<std::string> options; // "OLD" stands for the existing file
        std::string windowInput;          // command-window lines instead of a run
    } cases[] = {
        {"-o", BigFlat, {"-o", "OLD"}, ""},
        {"--right", "canvas 1500 1500 0\n", {"--right", "OLD"}, ""},
        {"--side-by-side", "canvas 1500 1500 0\n", {"--side-by-side", "OLD"}, ""},
        {"--frames", BigFrame, {"--frames", "FRAMES"}, ""},
        {".save", nullptr, {}, std::string(BigFlat) + ".save OLD\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string old = Path("old.png"), before = "the picture that was here before\n";
        WriteFile(old, before);
        WriteFile(Path("frames-0001.png"), before);
        std::vector<std::string> args;
        if (c.script) {
            args = {"run", Script(c.script)};
            for (const std::string &option : c.options)
                args.push_back(option == "OLD" ? old : option == "FRAMES" ? Path("frames") : option);
        }
        std::string input = c.windowInput;
        if (auto at = input.find("OLD"); at != std::string::npos)
            input.replace(at, 3, old);
        ChildResult result = Run(args, SmallFileLimit, input);
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, "Error! ")) << result.err;
        EXPECT_TRUE(Contains(result.err, "cannot write")) << result.err;
        EXPECT_EQ(ReadFile(old), before);
        EXPECT_EQ(ReadFile(Path("frames-0001.png")), before);
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
}

TEST_F(OutputFiles, FailedCopyLeavesNoFileBehind)
{
    ChildSetup limitedWithoutClipboard = {.fileSize = SmallFile, .unset = {"DISPLAY", "WAYLAND_DISPLAY"}};
    ChildResult result = Run({"run", Script("canvas 1500 1500\ncopy\n")}, limitedWithoutClipboard);
    // Without -o the canvas window goes to script.png, which the limit stops
    // too: that is an error, the copy only a warning.
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_TRUE(Contains(result.err, "Warning: the canvas window could not be copied: cannot write")) << result.err;
    EXPECT_TRUE(Contains(result.err, "Error! cannot write script.png")) << result.err;
    EXPECT_FALSE(fs::exists("script-copy-1.png"));
    EXPECT_FALSE(fs::exists("script.png"));
    EXPECT_EQ(Leftovers(), std::vector<std::string>());
    result = Run({"run", Script("canvas 40 30\ncopy\n"), "-o", Path("shown.png")}, limitedWithoutClipboard);
    EXPECT_TRUE(Contains(result.err, "Copied the canvas window to " + Path("shown-copy-1.png"))) << result.err;
    EXPECT_TRUE(render::LoadPng(Path("shown-copy-1.png")));
}

TEST_F(OutputFiles, FullDeviceIsReportedAndNeverRemoved)
{
    // A private copy of the full device: a faulty writer must not be able to
    // remove the machine's own /dev/full.
    std::string device = Path("full");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        if (geteuid() == 0)
            GTEST_SKIP() << "cannot make a device node here";
        device = "/dev/full";
    }
    std::string script = Script("canvas 40 30\n");
    for (int run = 0; run < 2; run++) {
        ChildResult result = Run({"run", script, "-o", device});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, "Error! cannot write " + device + ": No space left on device"))
            << result.err;
        struct stat status {};
        ASSERT_EQ(stat(device.c_str(), &status), 0);
        EXPECT_TRUE(S_ISCHR(status.st_mode));
    }
}

TEST_F(OutputFiles, FifoIsWrittenInPlace)
{
    std::string fifo = Path("pipe.png");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    ChildResult result = Run({"run", Script("canvas 40 30\n"), "-o", fifo});
    reader.join();
    EXPECT_EQ(result.status, 0) << result.err;
    WriteFile(Path("received.png"), received);
    auto image = render::LoadPng(Path("received.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 40);
    struct stat status {};
    ASSERT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(OutputFiles, StandardOutputTakesTheImage)
{
    ChildResult result = Run({"run", Script("canvas 40 30\n"), "-o", "-"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_FALSE(fs::exists(Path("-")));
    WriteFile(Path("stdout.png"), result.out);
    auto image = render::LoadPng(Path("stdout.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->height, 30);
}

TEST_F(OutputFiles, ClosedStandardOutputFailsTheRunWithoutKillingIt)
{
    ChildResult result = Run({"run", Script(BigFlat), "-o", "-"}, {.closedOutput = true});
    EXPECT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "Error! cannot write -: Broken pipe")) << result.err;
}

TEST_F(OutputFiles, ReadOnlyFolderKeepsItsFilesAndGetsNoNewOnes)
{
    std::string folder = Path("locked");
    fs::create_directories(folder);
    std::string existing = folder + "/kept.png", before = "kept as it was\n";
    WriteFile(existing, before);
    fs::permissions(existing, fs::perms::all);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    // Root may write anywhere: run as nobody then.
    ChildSetup asOrdinaryUser;
    if (geteuid() == 0) {
        asOrdinaryUser.user = 65534;
        if (tests::RunChild({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--", "true"}) != 0)
            GTEST_SKIP() << "running as root, and setpriv cannot make a run an ordinary user";
    }
    std::string script = Script("canvas 40 30\n");
    for (const std::string &out : {existing, folder + "/new.png"}) {
        ChildResult result = Run({"run", script, "-o", out}, asOrdinaryUser);
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, "Error! cannot write " + out)) << result.err;
    }
    EXPECT_EQ(ReadFile(existing), before);
    EXPECT_FALSE(fs::exists(folder + "/new.png"));
    fs::permissions(folder, fs::perms::owner_all);
}

TEST_F(OutputFiles, ReplacedFileKeepsItsPermissionsAndLinksStayLinks)
{
    std::string script = Script("canvas 40 30\n");
    std::string file = Path("shared.png"), link = Path("link.png"), target = Path("target.png");
    WriteFile(file, "old");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteFile(target, "old");
    fs::create_symlink(target, link);
    ChildResult result = Run({"run", script, "-o", file, "--frames", Path("f")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(render::LoadPng(file));
    // A name as long as a folder allows still leaves room for the temporary.
    std::string longest = Path(std::string(251, 'n') + ".png");
    result = Run({"run", script, "-o", longest});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(render::LoadPng(longest));
    result = Run({"run", script, "-o", link});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(link));
    auto image = render::LoadPng(target);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 40);
    EXPECT_EQ(Leftovers(), std::vector<std::string>());
}

// A link another user left in a shared folder (sticky, world-writable, like
// /tmp) is not followed even by root, whatever the kernel's own protection
// says; a link of ours there is followed as anywhere else.
TEST_F(OutputFiles, ForeignLinkInSharedFolderIsNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a link to another user needs root";
    // One finished frame, so that an animation has something to write.
    std::string script = Script("canvas 40 30 persp 30 1 100 10\nfinish\n");
    std::string shared = Path("shared"), target = Path("target.png"), before = "the file the link names\n";
    fs::create_directories(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    struct Case {
        const char *name;
        uid_t owner;
        bool followed;
    } cases[] = {
        {"another user's link", 65534, false},
        {"our own link", geteuid(), true},
    };
    for (const Case &c : cases) {
        for (const char *name : {"link.png", "link.gif"}) {
            SCOPED_TRACE(std::string(c.name) + " " + name);
            WriteFile(target, before);
            std::string link = shared + "/" + name;
            fs::remove(link);
            fs::create_symlink(target, link);
            ASSERT_EQ(lchown(link.c_str(), c.owner, c.owner), 0);
            // A picture through -o, an animation through --animation: both
            // reach the file through the one safe writer.
            bool animation = fs::path(name).extension() == ".gif";
            ChildResult result = Run({"run", script, animation ? "--animation" : "-o", link});
            EXPECT_TRUE(fs::is_symlink(link));
            if (c.followed) {
                EXPECT_EQ(result.status, 0) << result.err;
                EXPECT_NE(ReadFile(target), before);
            } else {
                EXPECT_EQ(result.status, 1) << result.err;
                EXPECT_TRUE(Contains(result.err, "link in a shared folder")) << result.err;
                EXPECT_EQ(ReadFile(target), before);
            }
            EXPECT_EQ(Leftovers(), std::vector<std::string>());
        }
    }
}

} // namespace
