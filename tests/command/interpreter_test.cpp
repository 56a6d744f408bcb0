// The command interpreter: gates, their order, messages and working values.
#include "tests/doubles/plugin_fixture.h"

#include <cstring>

namespace {

using Interpreter = PluginTest;

TEST_F(Interpreter, CountZeroReturnsNoneAndAsksNothing)
{
    Load();
    char keyword[] = "nonsense";
    char *tokens[] = {keyword, nullptr};
    WorkVector[0] = 7.0f;
    EXPECT_EQ(ZiltorH_Command(0, tokens), nullptr);
    EXPECT_EQ(ZiltorH_Command(-3, tokens), nullptr);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(WorkVector[0], 7.0f) << "nothing is reset for a count below 1";
}

TEST_F(Interpreter, UnknownKeywordMeetsTheGatesInOrder)
{
    Load();
    host.hasCanvas = 0;
    EXPECT_EQ(Run("nonsense"), "Error! No canvas");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"}));

    ClearRecords();
    host.hasCanvas = 1;
    host.isModeling = 0;
    EXPECT_EQ(Run("nonsense"), "Error! Modeling not begun");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()"}));

    ClearRecords();
    host.isModeling = 1;
    EXPECT_EQ(Run("nonsense 1 2 3"), "Error! A wrong token");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()"}));
}

// Every keyword in dispatch order: the first five stand before both gates, the
// next two between them, the rest behind both. Eleven extra tokens are a count
// that the commands before the modelling gate all refuse, so none of them acts.
TEST_F(Interpreter, EveryKeywordMeetsTheGatesAtItsPlace)
{
    const char *const keywords[] = {
        "help", "copy", "anaglyph", "stop", "canvas", "erase", "picture", "clear", "finish", "light", "ambient",
        "push", "pop", "rotate", "scale", "move", "color", "diffuse", "shine", "emit", "out", "in", "solid",
        "wire", "dot", "triad", "quad", "polygon", "disk", "pipe", "horn", "cube", "sphere", "cylinder", "torus",
        "array", "arrayf", "line", "dots", "text", "hgrad", "vgrad"};
    Load();
    for (int i = 0; i < 42; i++) {
        const std::string line = std::string(keywords[i]) + " 1 1 1 1 1 1 1 1 1 1 1";
        ClearRecords();
        host.hasCanvas = 0;
        host.isModeling = 0;
        std::string result = Run(line);
        if (i < 5) {
            EXPECT_EQ(result, "Error! Wrong number of tokens") << line;
            EXPECT_TRUE(host.calls.empty()) << line;
            continue;
        }
        EXPECT_EQ(result, "Error! No canvas") << line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"})) << line;

        ClearRecords();
        host.hasCanvas = 1;
        result = Run(line);
        if (i < 7) {
            EXPECT_EQ(result, "Error! Wrong number of tokens") << line;
            EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()"})) << line;
        } else {
            EXPECT_EQ(result, "Error! Modeling not begun") << line;
            EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()"})) << line;
        }
        EXPECT_TRUE(recording_gl::Calls().empty()) << line;
    }
}

TEST_F(Interpreter, KeywordsAreCaseSensitive)
{
    Load();
    for (const char *line : {"Canvas 10 10", "ERASE white", "Help"}) {
        ClearRecords();
        EXPECT_EQ(Run(line), "Error! A wrong token") << line;
        EXPECT_EQ(host.calls, (std::vector<std::string>{"HasCanvas()", "IsModeling()"})) << line;
    }
}

TEST_F(Interpreter, FailuresReturnTheSameBufferHoldingOnlyTheLastMessage)
{
    Load();
    host.hasCanvas = 0;
    const char *first = Command("nonsense");
    ASSERT_EQ(first, MessageBuffer);
    host.hasCanvas = 1;
    const char *second = Command("nonsense");
    EXPECT_EQ(second, first);
    EXPECT_STREQ(second, "Error! A wrong token");
}

TEST_F(Interpreter, WorkingValuesAreResetOnEveryCall)
{
    Load();
    WorkVector[0] = WorkVector[1] = WorkVector[2] = WorkVector[3] = 9.0f;
    CornerBlock[5] = 9.0f;
    std::strcpy(TextLine, "left over");
    Run("nonsense");
    const float square[12] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    EXPECT_EQ(WorkVector[0], 0.0f);
    EXPECT_EQ(WorkVector[1], 0.0f);
    EXPECT_EQ(WorkVector[2], 0.0f);
    EXPECT_EQ(WorkVector[3], 1.0f);
    EXPECT_EQ(std::memcmp(CornerBlock, square, sizeof square), 0);
    for (char c : TextLine)
        ASSERT_EQ(c, '\0');
}

TEST(Messages, BuildersPrefixAndStayInsideTheBuffer)
{
    char buffer[MESSAGE_BUFFER_SIZE];
    EXPECT_EQ(MakeError(buffer, "Empty array"), buffer);
    EXPECT_STREQ(buffer, "Error! Empty array");
    EXPECT_STREQ(MakeWarning(buffer, "No right canvas"), "Warning: No right canvas");

    std::string longText(1000, 'x');
    std::memset(buffer, '#', sizeof buffer);
    MakeError(buffer, longText.c_str());
    EXPECT_EQ(std::strlen(buffer), size_t(MESSAGE_BUFFER_SIZE - 1));
    EXPECT_EQ(std::string(buffer, 7), "Error! ");
}

TEST(Messages, TheEightTextsInTheirOrder)
{
    const char *expected[] = {"Wrong number of tokens", "A wrong token", "Too large canvas",
                              "Modeling not begun", "Too many arrays", "Too few arrays",
                              "Error in opening a file", "Empty array"};
    for (int i = 0; i < MESSAGE_TEXT_COUNT; i++)
        EXPECT_STREQ(MessageTexts[i], expected[i]) << i;
}

TEST(Numbers, ParseVector3ReadsLikeAtof)
{
    char a[] = "1.5", b[] = "abc", c[] = "2x", d[] = "-0.1";
    char *tokens[] = {a, b, c, d};
    float out[3] = {9, 9, 9};
    ParseVector3(out, tokens, 1);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 2.0f);
    EXPECT_EQ(out[2], -0.1f);
    ParseVector3(out, tokens, 0);
    EXPECT_EQ(out[0], 1.5f);
}

TEST(Numbers, PiHasTheAgreedBits)
{
    uint32_t bits;
    std::memcpy(&bits, &Pi, sizeof bits);
    EXPECT_EQ(bits, 0x40490FD0u);
}

}
