// The values of the output options that tesselin run and tesselin view share
// (--samples, --anaglyph, --layout), read the same way by both.
#ifndef TESSELIN_APP_SESSION_OUTPUT_OPTIONS_H
#define TESSELIN_APP_SESSION_OUTPUT_OPTIONS_H

#include "app/picture/anaglyph.h"
#include "app/picture/layout.h"

#include <optional>
#include <string>

namespace tesselin {

// The most samples per pixel --samples accepts.
constexpr int MaxSamples = 64;

// Whole positive numbers up to limit; none for anything else.
std::optional<int> CountIn(const std::string &text, int limit);

// Each reads the value of its option; none, with the message in error, when
// the value is not one the option takes.
std::optional<int> SamplesValue(const std::string &text, std::string &error);
std::optional<AnaglyphMethod> AnaglyphValue(const std::string &name, std::string &error);
std::optional<StereoLayout> LayoutValue(const std::string &name, std::string &error);

} // namespace tesselin

#endif
