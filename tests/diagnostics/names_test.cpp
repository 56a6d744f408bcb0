// Names a person types for values, and the name a slip was meant to be.
#include "app/names/named_values.h"
#include "app/names/nearest.h"

#include <gtest/gtest.h>

namespace {

using namespace tesselin;

enum class Shade { Light, Dark, HalfTone };

constexpr auto Shades = std::to_array<Named<Shade>>({
    {"light", Shade::Light},
    {"dark", Shade::Dark},
    {"half-tone", Shade::HalfTone},
});

TEST(NamedValues, EveryNameReadsBackAndOthersReadAsNone)
{
    for (const Named<Shade> &entry : Shades) {
        EXPECT_EQ(ValueNamed(Shades, entry.name), entry.value) << entry.name;
        EXPECT_EQ(NameIn(Shades, entry.value), entry.name);
    }
    for (const char *name : {"", "Light", "half", "half-tone ", "darker"})
        EXPECT_FALSE(ValueNamed(Shades, name)) << name;
    EXPECT_EQ(NameIn(Shades, static_cast<Shade>(7)), "?");
    EXPECT_EQ(NamesIn(Shades), "light, dark, half-tone");
    EXPECT_EQ(NamesIn(Shades, " or "), "light, dark or half-tone");
    static_assert(ValueNamed(Shades, "dark") == Shade::Dark, "usable in constant expressions");
}

TEST(Nearest, ASlipFindsTheNameMeantAndNothingElseDoes)
{
    const std::vector<std::string_view> commands = {"run", "check", "view"};
    const std::vector<std::string_view> options = {"--samples", "--swap-eyes", "--screenshot", "--side-by-side",
                                                   "--mode", "--module"};
    struct Case {
        const std::vector<std::string_view> &names;
        std::string_view word, meant; // empty: no suggestion
    } cases[] = {
        {commands, "rnu", "run"},  // two letters swapped are one slip
        {commands, "RUN", "run"},  // capitals do not count
        {commands, "chek", "check"},
        {commands, "cehck", "check"},
        {commands, "veiw", "view"},
        {commands, "ru", "run"},
        {commands, "draw", ""},    // three slips from view
        {commands, "r", ""},       // as many slips as letters
        {commands, "", ""},
        {commands, "s.tsl", ""},
        {options, "--sample", "--samples"},
        {options, "--sampels", "--samples"},
        {options, "--sidebyside", "--side-by-side"},
        {options, "--screenshoot", "--screenshot"},
        {options, "--mod", "--mode"},     // a tie goes to the first name
        {options, "--modul", "--module"},
        {options, "--bogus", ""},
        {options, "--s", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(NearestName(c.word, c.names), c.meant) << c.word;
}

TEST(Nearest, EditDistanceCountsEachKindOfSlipOnce)
{
    const std::tuple<std::string_view, std::string_view, int> cases[] = {
        {"", "", 0}, {"abc", "abc", 0}, {"abc", "ABC", 0}, {"", "abc", 3}, {"abc", "ab", 1},
        {"abc", "abd", 1}, {"abc", "acb", 1}, {"abcd", "badc", 2}, {"kitten", "sitting", 3},
    };
    for (const auto &[a, b, distance] : cases) {
        EXPECT_EQ(EditDistance(a, b), distance) << a << " / " << b;
        EXPECT_EQ(EditDistance(b, a), distance) << b << " / " << a;
    }
}

} // namespace
