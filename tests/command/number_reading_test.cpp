// Number tokens read as the manual says on every system: decimals correctly
// rounded, hexadecimal, inf and nan, as far as a number goes, else 0. The
// same table runs on Windows under Wine (tests/windows/number_reading_runner.cpp).
#include "tests/doubles/plugin_fixture.h"
#include "tests/shared/number_reading_cases.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using NumberReading = PluginTest;

bool SameNumber(double got, double want)
{
    if (std::isnan(want))
        return std::isnan(got);
    return std::memcmp(&got, &want, sizeof got) == 0; // also tells -0 from +0
}

TEST_F(NumberReading, TokensConvertAsTheTableSays)
{
    for (const auto &c : NumberReadingCases)
        EXPECT_TRUE(SameNumber(std::atof(c.token), c.value))
            << "\"" << c.token << "\" read as " << std::atof(c.token) << ", not " << c.value;
}

// The commands hand the numbers on as floats: move puts its first token into
// glTranslatef unchanged but for the float's rounding.
TEST_F(NumberReading, CommandsReadTokensTheSameWay)
{
    LoadWithCanvas();
    for (const auto &c : NumberReadingCases) {
        if (!*c.token || std::strpbrk(c.token, " \t\""))
            continue; // not one token of a command line
        recording_gl::Reset();
        ASSERT_EQ(Run(std::string("move ") + c.token + " 0 0"), "");
        ASSERT_FALSE(recording_gl::Calls().empty());
        const GlCall &call = recording_gl::Calls().back();
        ASSERT_EQ(call.name, "glTranslatef");
        EXPECT_TRUE(SameNumber(call.args[0], double(float(c.value)))) << "move " << c.token << " gave " << call.args[0];
    }
}

} // namespace
