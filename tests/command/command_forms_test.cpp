// The host's table of command forms against the plug-in itself: the same
// keywords in the same order behind the same gates, and the same token counts
// accepted, so help lines and tesselin check never disagree with a run.
#include "app/script/command_forms.h"
#include "tests/doubles/plugin_fixture.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

using tesselin::Commands;
using tesselin::Gate;

constexpr int LongestProbe = 16;

// A keyword and how many gates stand before it.
struct DispatchRow {
    std::string keyword;
    int gatesBefore = 0;
    bool operator==(const DispatchRow &) const = default;
};

void PrintTo(const DispatchRow &row, std::ostream *out) { *out << row.keyword << "/" << row.gatesBefore; }

// The keywords of the plug-in's dispatch table, read from its source, where a
// row without a keyword is a gate.
std::vector<DispatchRow> PluginDispatchRows()
{
    std::ifstream file(TESSELIN_SOURCE_DIR "/plugin/command.cpp");
    std::stringstream text;
    text << file.rdbuf();
    std::string source = text.str();
    std::size_t start = source.find("DispatchTable[] = {");
    std::size_t end = source.find("};", start);
    EXPECT_NE(start, std::string::npos) << "the dispatch table was not found in plugin/command.cpp";
    std::vector<DispatchRow> rows;
    if (start == std::string::npos || end == std::string::npos)
        return rows;
    std::string table = source.substr(start, end - start);
    std::regex row(R"re(\{\s*(NULL|nullptr|"([^"]*)")\s*,)re");
    int gates = 0;
    for (auto match = std::sregex_iterator(table.begin(), table.end(), row); match != std::sregex_iterator(); ++match) {
        if ((*match)[1] == "NULL" || (*match)[1] == "nullptr")
            gates++;
        else
            rows.push_back({(*match)[2].str(), gates});
    }
    return rows;
}

TEST(CommandForms, KeywordsAndGatesFollowThePluginsDispatchTable)
{
    std::vector<DispatchRow> fromTable;
    for (const auto &command : Commands())
        fromTable.push_back({std::string(command.keyword), command.gate == Gate::None     ? 0
                                                           : command.gate == Gate::Canvas ? 1
                                                                                          : 2});
    EXPECT_EQ(Commands().size(), 42u);
    EXPECT_EQ(fromTable, PluginDispatchRows());
}

// A fresh plug-in with a 3D canvas: both gates open.
class FormsAgainstPlugin : public PluginTest {
protected:
    // The plug-in's answer to keyword followed by count - 1 tokens "1".
    std::string Probe(std::string_view keyword, int count)
    {
        TearDown();
        SetUp();
        LoadWithCanvas();
        // line and dots look at the store before the count.
        if (keyword == "line" || keyword == "dots") {
            EXPECT_EQ(Run("array 1 2"), "");
            EXPECT_EQ(Run("array 3 4"), "");
        }
        std::string line(keyword);
        for (int i = 1; i < count; i++)
            line += " 1";
        return Run(line);
    }
};

TEST_F(FormsAgainstPlugin, EveryCommandAcceptsTheCountsItsFormsGive)
{
    // help would start the desktop's opener; with no PATH it finds none.
    const char *path = std::getenv("PATH");
    std::string savedPath = path ? path : "";
    setenv("PATH", "", 1);
    for (const auto &command : Commands()) {
        for (int count = 1; count <= LongestProbe; count++) {
            bool refused = Probe(command.keyword, count) == "Error! Wrong number of tokens";
            EXPECT_EQ(command.Accepts(count), !refused) << command.keyword << " with " << count << " tokens";
        }
    }
    setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(FormsAgainstPlugin, EveryCommandStandsBehindTheGateItsRowNames)
{
    Load();
    for (const auto &command : Commands()) {
        // A count the command refuses, so that a command before the gates
        // does nothing; those that take any count stand behind both gates.
        int refused = 1;
        while (refused < LongestProbe && command.Accepts(refused))
            refused++;
        std::string line(command.keyword);
        for (int i = 1; i < refused; i++)
            line += " 1";
        host.hasCanvas = 0;
        host.isModeling = 0;
        EXPECT_EQ(Run(line) == "Error! No canvas", command.gate != Gate::None) << command.keyword;
        host.hasCanvas = 1;
        EXPECT_EQ(Run(line) == "Error! Modeling not begun", command.gate == Gate::Modeling) << command.keyword;
    }
}

} // namespace
