// The one way the host and the tests start other programs: the PATH search,
// exit statuses and signals as the tests read them, descriptors handed to the
// child, and input piped through in full.
#include "app/process/child_process.h"
#include "tests/render/render_harness.h"
#include "tests/shared/spawn.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

// Sets PATH (or unsets it, for none) while it lives.
class PathSetTo {
public:
    explicit PathSetTo(const std::optional<std::string> &value)
    {
        if (const char *now = std::getenv("PATH"))
            saved_ = now;
        if (value)
            setenv("PATH", value->c_str(), 1);
        else
            unsetenv("PATH");
    }
    ~PathSetTo()
    {
        if (saved_)
            setenv("PATH", saved_->c_str(), 1);
        else
            unsetenv("PATH");
    }

private:
    std::optional<std::string> saved_;
};

std::string Slurp(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(ChildProcess, SearchPathReadsPathAsTheShellDoes)
{
    struct Case {
        std::optional<std::string> path;
        std::vector<std::string> directories;
    } cases[] = {
        {std::nullopt, {"/usr/bin", "/bin"}},
        {"/a:/b", {"/a", "/b"}},
        {"/a::/b", {"/a", ".", "/b"}},
        {"", {"."}},
        {"/a:", {"/a", "."}},
    };
    for (const Case &c : cases) {
        PathSetTo path(c.path);
        EXPECT_EQ(tesselin::SearchPath(), c.directories) << c.path.value_or("(unset)");
    }
}

TEST(ChildProcess, OnlyRunnableProgramsAreFoundOnPath)
{
    namespace fs = std::filesystem;
    fs::path dir = render::ScratchDirectory();
    fs::create_directories(dir / "bin");
    std::ofstream(dir / "bin/runnable") << "#!/bin/sh\nexit 0\n";
    std::ofstream(dir / "bin/plain") << "not a program\n";
    fs::permissions(dir / "bin/runnable", fs::perms::owner_all);
    PathSetTo path((dir / "nothing").string() + ":" + (dir / "bin").string());
    EXPECT_TRUE(tesselin::ProgramOnPath("runnable"));
    EXPECT_FALSE(tesselin::ProgramOnPath("plain"));
    EXPECT_FALSE(tesselin::ProgramOnPath("missing"));
    EXPECT_EQ(tests::RunChild({"runnable"}), 0);
    EXPECT_EQ(tests::RunChild({"missing"}), -1);
}

TEST(ChildProcess, ExitStatusesAndSignalsReadAsTheTestsExpect)
{
    struct Case {
        const char *script;
        int status;
    } cases[] = {{"exit 0", 0}, {"exit 1", 1}, {"exit 7", 7}, {"kill -TERM $$", 128 + 15}, {"kill -KILL $$", 128 + 9}};
    for (const Case &c : cases)
        EXPECT_EQ(tests::RunChild({"/bin/sh", "-c", c.script}), c.status) << c.script;
    std::string error;
    EXPECT_FALSE(tesselin::StartChild({"no-such-program-here"}, {}, error));
    EXPECT_EQ(error.rfind("cannot start no-such-program-here: ", 0), 0u) << error;
    EXPECT_FALSE(tesselin::StartChild({}, {}, error));
}

TEST(ChildProcess, StreamsGoWhereTheyAreSent)
{
    std::string dir = render::ScratchDirectory();
    std::ofstream(dir + "/in.txt") << "from the file\n";
    int status = tests::RunChild({"/bin/sh", "-c", "cat; echo to-err >&2; exit 4"},
                                 {dir + "/in.txt", dir + "/out.txt", dir + "/err.txt"});
    EXPECT_EQ(status, 4);
    EXPECT_EQ(Slurp(dir + "/out.txt"), "from the file\n");
    EXPECT_EQ(Slurp(dir + "/err.txt"), "to-err\n");
}

TEST(ChildProcess, InputLargerThanAPipeArrivesWhole)
{
    std::string dir = render::ScratchDirectory();
    std::string input;
    for (int i = 0; input.size() < 1 << 20; i++)
        input += std::to_string(i) + (i % 17 ? " " : "\n");
    std::string copy = dir + "/copy.txt";
    EXPECT_TRUE(tesselin::RunWithInput({"/bin/sh", "-c", "cat > '" + copy + "'"}, input, true));
    EXPECT_EQ(Slurp(copy), input);
    // A program that fails after reading everything is a failure.
    EXPECT_FALSE(tesselin::RunWithInput({"/bin/sh", "-c", "cat > /dev/null; exit 3"}, input, true));
    EXPECT_FALSE(tesselin::RunWithInput({"no-such-program-here"}, input, true));
}

} // namespace

TEST(ChildProcess, DirectoryAndEnvironmentAreTheChildsOwn)
{
    std::string dir = render::ScratchDirectory();
    setenv("TESSELIN_KEPT", "kept", 1);
    setenv("TESSELIN_GONE", "here", 1);
    setenv("TESSELIN_CHANGED", "before", 1);
    std::vector<std::string> environment =
        tesselin::EnvironmentWith({"TESSELIN_GONE"}, {"TESSELIN_CHANGED=after", "TESSELIN_NEW=new"});
    struct Case {
        const char *variable, *seen;
    } cases[] = {{"TESSELIN_KEPT", "kept"}, {"TESSELIN_GONE", ""}, {"TESSELIN_CHANGED", "after"},
                 {"TESSELIN_NEW", "new"}};
    tesselin::ChildOptions options{{}, dir, environment};
    for (const Case &c : cases) {
        std::string out = dir + "/seen.txt";
        pid_t child = tests::StartChild({"/bin/sh", "-c", std::string("printf %s \"$") + c.variable + "\""},
                                        {"", out, ""}, options);
        ASSERT_GT(child, 0);
        EXPECT_EQ(tests::ExitStatus(tesselin::WaitForChild(child)), 0);
        EXPECT_EQ(Slurp(out), c.seen) << c.variable;
    }
    // A variable set twice would be read either way: each name once.
    EXPECT_EQ(std::count(environment.begin(), environment.end(), "TESSELIN_CHANGED=after"), 1);
    EXPECT_EQ(std::count(environment.begin(), environment.end(), "TESSELIN_CHANGED=before"), 0);
    unsetenv("TESSELIN_KEPT");
    unsetenv("TESSELIN_GONE");
    unsetenv("TESSELIN_CHANGED");
    options.environment.reset();
    std::ofstream(dir + "/here.txt") << "in the child's directory\n";
    pid_t child = tests::StartChild({"cat", "here.txt"}, {"", dir + "/cat.txt", ""}, options);
    ASSERT_GT(child, 0);
    EXPECT_EQ(tests::ExitStatus(tesselin::WaitForChild(child)), 0);
    EXPECT_EQ(Slurp(dir + "/cat.txt"), "in the child's directory\n");
    options.directory = dir + "/no-such-directory";
    EXPECT_EQ(tests::StartChild({"cat", "here.txt"}, {}, options), -1);
}

TEST(ChildProcess, CaptureGivesStandardOutputOnly)
{
    EXPECT_EQ(tests::Capture({"/bin/sh", "-c", "echo out; echo err >&2"}), "out\n");
    std::string big = tests::Capture({"/bin/sh", "-c", "head -c 200000 /dev/zero"});
    EXPECT_EQ(big.size(), 200000u);
    EXPECT_EQ(tests::Capture({"no-such-program-here"}), "");
}
