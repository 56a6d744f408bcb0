// The one way the host and the tests start other programs: the PATH search,
// exit statuses and signals as the tests read them, descriptors handed to the
// child, and input piped through in full.
#include "app/process/child_process.h"
#include "tests/render/render_harness.h"
#include "tests/shared/spawn.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
