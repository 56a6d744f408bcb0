#include "app/session/output_options.h"

#include <charconv>

namespace tesselin {

std::optional<int> CountIn(const std::string &text, int limit)
{
    int value = 0;
    auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failed != std::errc() || end != text.data() + text.size() || value < 1 || value > limit)
        return std::nullopt;
    return value;
}

std::optional<int> SamplesValue(const std::string &text, std::string &error)
{
    auto samples = CountIn(text, MaxSamples);
    if (!samples)
        error = "--samples takes a whole number from 1 to " + std::to_string(MaxSamples) + ", not " + text;
    return samples;
}

std::optional<AnaglyphMethod> AnaglyphValue(const std::string &name, std::string &error)
{
    auto method = AnaglyphMethodNamed(name);
    if (!method)
        error = "--anaglyph takes one of " + AnaglyphMethodNames() + ", not " + name;
    return method;
}

std::optional<StereoLayout> LayoutValue(const std::string &name, std::string &error)
{
    auto layout = StereoLayoutNamed(name);
    if (!layout)
        error = "--layout takes one of " + StereoLayoutNames() + ", not " + name;
    return layout;
}

} // namespace tesselin
