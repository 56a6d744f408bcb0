// The one table of message words, as every path shows it: the host's own
// messages through a sink, and the findings of check and of the help after an
// answer. Each severity begins its line with its own words, and both paths
// word a message alike.
#include "app/process/message.h"
#include "app/script/hints.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using tesselin::Severity;

struct Kept final : tesselin::MessageSink {
    std::vector<std::string> lines;
    void Line(const std::string &text) override { lines.push_back(text); }
};

struct Worded {
    Severity severity;
    const char *line; // of the text "the text"
};

// What tesselin run and check print today for each severity.
const Worded Lines[] = {
    {Severity::Error, "Error! the text"},
    {Severity::Warning, "Warning: the text"},
    {Severity::Hint, "Hint: the text"},
    {Severity::Note, "Note: the text"},
    {Severity::Report, "the text"},
};

TEST(Messages, EachSeverityBeginsWithItsOwnWordsOnEveryPath)
{
    std::set<std::string> prefixes;
    for (const Worded &w : Lines) {
        EXPECT_EQ(tesselin::MessageLine(w.severity, "the text"), w.line);
        Kept sink;
        sink.Message(w.severity, "the text");
        ASSERT_EQ(sink.lines.size(), 1u);
        EXPECT_EQ(sink.lines[0], w.line);
        // A finding without a place is the same line; with one, the place comes first.
        tesselin::Finding finding{w.severity, 4, "the text"};
        EXPECT_EQ(tesselin::FormatFinding("", finding), w.line);
        EXPECT_EQ(tesselin::FormatFinding("demo.tsl:3", finding), std::string("demo.tsl:3:4: ") + w.line);
        prefixes.insert(std::string(tesselin::SeverityPrefix(w.severity)));
    }
    EXPECT_EQ(prefixes.size(), std::size(Lines)) << "two severities share their words";
}

} // namespace
