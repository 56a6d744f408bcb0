// A script saved with a UTF-8 byte-order mark (as Notepad saves it) reads as
// the same script without it, in run and in check alike.
#include "app/process/line_reader.h"
#include "app/script/check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tesselin {
namespace {

const std::string Mark = "\xEF\xBB\xBF";

std::vector<std::string> AllLines(LineSource &source)
{
    std::vector<std::string> lines;
    while (auto line = source.Next())
        lines.emplace_back(*line);
    return lines;
}

TEST(ByteOrderMark, IsIgnoredAtTheStartOnly)
{
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {Mark + "canvas 64 48\r\ncube\n", {"canvas 64 48", "cube"}},
        {Mark, {""}},
        {"cube\n" + Mark + "cube\n", {"cube", Mark + "cube"}}, // a mark within is text
        {Mark + Mark + "cube", {Mark + "cube"}},
    };
    for (const Case &c : cases) {
        TextLines text(c.text);
        EXPECT_EQ(AllLines(text), c.lines);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        ASSERT_EQ(write(pipe[1], c.text.data(), c.text.size()), ssize_t(c.text.size()));
        close(pipe[1]);
        LineReader reader(pipe[0]);
        EXPECT_EQ(AllLines(reader), c.lines);
        close(pipe[0]);
    }
}

TEST(ByteOrderMark, CheckFindsWhatItFindsWithoutTheMark)
{
    const std::string script = "canvas 64 48 persp 30 1 100 10\nsphre 4 4 flat\ncube\n";
    auto plain = CheckText(script, {});
    auto marked = CheckText(Mark + script, {});
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_EQ(marked.size(), plain.size());
    EXPECT_EQ(marked[0].finding.text, plain[0].finding.text);
    EXPECT_EQ(marked[0].finding.column, plain[0].finding.column);
    std::ostringstream out;
    EXPECT_EQ(CheckScript("s.tsl", Mark + "canvas 64 48 persp 30 1 100 10\ncube\n", {}, out), 0);
    EXPECT_EQ(out.str(), "s.tsl: no problems found\n");
}

} // namespace
} // namespace tesselin
