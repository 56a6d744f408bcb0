// array, arrayf, line and dots: what the store holds, what is drawn, and the
// messages in the order the commands test for them.
#include "data/data.h"
#include "tests/command/data_support.h"
#include "tests/doubles/plugin_fixture.h"

#include <sys/resource.h>

#include <fstream>
#include <malloc.h>

namespace {

class PointArrays : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        LoadWithCanvas();
    }

    std::vector<float> Slot(int i) const
    {
        if (!ArraySlots[i])
            return {};
        return std::vector<float>(ArraySlots[i], ArraySlots[i] + ArrayLengths[i]);
    }

    std::string ArrayFile(const ScratchFile &file, const std::string &selection)
    {
        return Run("arrayf " + file.Path() + " " + selection);
    }
};

TEST_F(PointArrays, ArrayStoresItsNumbersInTheNextSlot)
{
    EXPECT_EQ(Run("array 1 2.5 -3e2 x 1,5"), "");
    EXPECT_EQ(Run("array"), "");
    EXPECT_EQ(ArrayCount, 2);
    EXPECT_EQ(Slot(0), (std::vector<float>{1, 2.5f, -300, 0, 1}));
    EXPECT_NE(ArraySlots[1], nullptr) << "an array of no numbers still holds a block";
    EXPECT_EQ(ArrayLengths[1], 0);
    EXPECT_TRUE(recording_gl::Calls().empty());
}

TEST_F(PointArrays, LineDrawsToTheShortestArrayThenReleases)
{
    Run("array 1 2 3 4 5");
    Run("array 10 20 30");
    EXPECT_EQ(Run("line"), "");
    EXPECT_EQ(recording_gl::Calls(),
              (std::vector<GlCall>{Call("glBegin", {GL_LINE_STRIP}), Call("glVertex3f", {1, 10, 0}),
                                   Call("glVertex3f", {2, 20, 0}), Call("glVertex3f", {3, 30, 0}),
                                   Call("glEnd")}));
    EXPECT_EQ(ArrayCount, 0);
    EXPECT_EQ(ArraySlots[0], nullptr);
    EXPECT_EQ(ArraySlots[1], nullptr);
    EXPECT_EQ(Run("dots"), "Error! Too few arrays") << "drawing consumed the arrays";
}

TEST_F(PointArrays, DotsTakeZFromTheThirdArray)
{
    Run("array 1 2");
    Run("array 3 4 5");
    Run("array 0.5 -7");
    EXPECT_EQ(Run("dots"), "");
    EXPECT_EQ(recording_gl::Calls(),
              (std::vector<GlCall>{Call("glBegin", {GL_POINTS}), Call("glVertex3f", {1, 3, 0.5}),
                                   Call("glVertex3f", {2, 4, -7}), Call("glEnd")}));
    EXPECT_EQ(ArrayCount, 0);
}

TEST_F(PointArrays, AnEmptyArrayDrawsNoVertexAndStillSucceeds)
{
    Run("array");
    Run("array 1 2");
    EXPECT_EQ(Run("line"), "");
    EXPECT_EQ(recording_gl::Calls(), (std::vector<GlCall>{Call("glBegin", {GL_LINE_STRIP}), Call("glEnd")}));
    EXPECT_EQ(ArrayCount, 0);
}

TEST_F(PointArrays, MessagesComeInTheOrderOfTheirTests)
{
    Run("array 1");
    EXPECT_EQ(Run("line"), "Error! Too few arrays");
    EXPECT_EQ(Run("line extra"), "Error! Too few arrays") << "arrays are looked at before the count";
    Run("array 2");
    EXPECT_EQ(Run("dots extra"), "Error! Wrong number of tokens");
    Run("array 3");
    EXPECT_EQ(Run("array 4"), "Error! Too many arrays");
    EXPECT_EQ(Run("arrayf only-two"), "Error! Too many arrays") << "the store is looked at before the count";
    EXPECT_EQ(ArrayCount, 3) << "failures leave the arrays stored";
    EXPECT_EQ(Slot(2), (std::vector<float>{3}));
    EXPECT_TRUE(recording_gl::Calls().empty());
    EXPECT_EQ(Run("line"), "");
}

TEST_F(PointArrays, ArrayFileRefusalsLeaveTheStoreAsItWas)
{
    ScratchFile file("1 2");
    EXPECT_EQ(Run("arrayf " + file.Path() + " 1"), "Error! Wrong number of tokens");
    EXPECT_EQ(Run("arrayf " + file.Path() + " 1 0 9"), "Error! Wrong number of tokens");
    EXPECT_EQ(Run("arrayf /nonexistent/numbers.txt 1 0"), "Error! Error in opening a file");
    EXPECT_EQ(ArrayCount, 0);
}

TEST_F(PointArrays, ArrayFileReadsColumnsOfANumberFile)
{
    ScratchFile rows("1 2 3\r\n4 5 6\r\n");
    EXPECT_EQ(ArrayFile(rows, "3 1"), "");
    EXPECT_EQ(ArrayFile(rows, "1 0"), "");
    EXPECT_EQ(ArrayFile(ScratchFile("7 8"), "1 0"), "");
    EXPECT_EQ(Slot(0), (std::vector<float>{2, 5}));
    EXPECT_EQ(Slot(1), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Slot(2), (std::vector<float>{7, 8})) << "a final number needs no separator";
    Run("line");
    ASSERT_EQ(recording_gl::CallsNamed({"glVertex3f"}),
              (std::vector<GlCall>{Call("glVertex3f", {2, 1, 7}), Call("glVertex3f", {5, 2, 8})}));

    EXPECT_EQ(ArrayFile(ScratchFile("1\t2 3"), "1 0"), "");
    EXPECT_EQ(Slot(0), (std::vector<float>{1, 3})) << "a tab belongs to its token";
}

// A selection of no number takes its slot, left empty; drawing over it is
// refused and keeps the arrays.
TEST_F(PointArrays, ASelectionOfNothingCountsAnEmptySlot)
{
    ScratchFile rows("1 2 3\r\n4 5 6\r\n");
    for (const char *selection : {"3 3", "3 -1", "0 0", "abc 0"}) {
        ResetPointArrayStore();
        ClearRecords();
        Run("array 1 2");
        EXPECT_EQ(ArrayFile(rows, selection), "") << selection;
        EXPECT_EQ(ArrayCount, 2) << selection;
        EXPECT_EQ(ArraySlots[1], nullptr) << selection;
        EXPECT_EQ(ArrayLengths[1], 0) << selection;
        EXPECT_EQ(Run("line"), "Error! Empty array") << selection;
        EXPECT_EQ(Run("line extra"), "Error! Empty array") << "emptiness is tested before the count";
        EXPECT_EQ(ArrayCount, 2);
        EXPECT_TRUE(recording_gl::Calls().empty());
    }
    EXPECT_EQ(ArrayFile(ScratchFile(""), "1 0"), "");
    EXPECT_EQ(Run("dots"), "Error! Empty array") << "an empty third slot";
    EXPECT_EQ(ArrayCount, 3);
    EXPECT_EQ(Run("canvas 200 100 persp 45 1 100 10"), "");
    EXPECT_EQ(ArrayCount, 0);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(Run("array 1"), "");
}

TEST_F(PointArrays, NegativeStrideSelectsAsItsMagnitude)
{
    ScratchFile rows("1 2 3\n4 5 6\n");
    EXPECT_EQ(ArrayFile(rows, "-3 2"), "");
    EXPECT_EQ(Slot(0), (std::vector<float>{3, 6}));
}

TEST_F(PointArrays, ALargeFileReadsWhole)
{
    // Several read chunks of numbers, with tokens across every chunk boundary.
    ScratchFile file;
    std::string bytes;
    for (int i = 0; i < 400000; i++)
        bytes += std::to_string(i) + (i % 3 == 2 ? "\n" : " ");
    file.Write(bytes);
    ASSERT_GT(bytes.size(), size_t(2) * NUMBER_CHUNK_BYTES);
    EXPECT_EQ(ArrayFile(file, "3 0"), "");
    EXPECT_EQ(ArrayFile(file, "3 1"), "");
    ASSERT_EQ(ArrayLengths[0], 133334);
    ASSERT_EQ(ArrayLengths[1], 133333);
    for (int k = 0; k < ArrayLengths[1]; k++) {
        ASSERT_EQ(ArraySlots[0][k], float(3 * k)) << k;
        ASSERT_EQ(ArraySlots[1][k], float(3 * k + 1)) << k;
    }
}

// A host may report modelling before any canvas command made the store.
TEST_F(PluginTest, ArrayCommandsMakeTheStoreOnDemand)
{
    Load();
    ASSERT_EQ(ArraySlots, nullptr);
    EXPECT_EQ(Run("line"), "Error! Too few arrays");
    EXPECT_EQ(Run("array 1 2"), "");
    ScratchFile file("3 4");
    EXPECT_EQ(Run("arrayf " + file.Path() + " 1 0"), "");
    EXPECT_EQ(Run("line"), "");
    EXPECT_EQ(recording_gl::CallsNamed({"glVertex3f"}),
              (std::vector<GlCall>{Call("glVertex3f", {1, 3, 0}), Call("glVertex3f", {2, 4, 0})}));
}

TEST_F(PluginTest, ArrayCommandsStandBehindTheGates)
{
    Load();
    host.isModeling = 0;
    for (const char *line : {"array 1", "arrayf a 1 0", "line", "dots", "text 0 0 1 a", "hgrad 1 1 1 1", "vgrad 1 1 1 1"})
        EXPECT_EQ(Run(line), "Error! Modeling not begun") << line;
    EXPECT_EQ(ArrayCount, 0);
}

#if !defined(__SANITIZE_ADDRESS__)
// Memory that cannot be had is reported, and the store stays as it was. The
// address space is limited in a child process, a little above what it uses.
void LimitAddressSpace(long extraBytes)
{
    // Blocks of a few MB must come from fresh mappings, not from heap space
    // that earlier tests freed and glibc kept (it raises its mapping
    // threshold after large frees), or the limit would not bite.
    malloc_trim(0);
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + rlim_t(extraBytes);
    setrlimit(RLIMIT_AS, &limit);
}

TEST_F(PointArrays, MemoryShortageIsReportedNotACrash)
{
    // Two million numbers for array, split before the limit is set.
    static char keyword[] = "array", one[] = "1";
    std::vector<char *> tokens(2000001, one);
    tokens[0] = keyword;
    EXPECT_EXIT(
        {
            LimitAddressSpace(1 << 20); // far below the 8 MB block
            const char *result = ZiltorH_Command(int(tokens.size()), tokens.data());
            std::fprintf(stderr, "[%s] %d\n", result ? result : "", ArrayCount);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "\\[Error! Not enough memory\\] 0");

    ScratchFile file;
    std::string bytes;
    for (int i = 0; i < 2000000; i++)
        bytes += "1\n";
    file.Write(bytes);
    EXPECT_EXIT(
        {
            LimitAddressSpace(3 << 20); // room for the read buffer, not for the block
            const char *result = Command("arrayf " + file.Path() + " 1 0");
            std::fprintf(stderr, "[%s] %d\n", result ? result : "", ArrayCount);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "\\[Error! Not enough memory\\] 0");
}
#endif

}
