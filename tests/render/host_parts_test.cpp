// The host's parts that need no OpenGL: reading command lines, the camera
// matrices, anaglyph arithmetic and PNG files.
#include "app/picture/image.h"
#include "app/picture/stereo_pair.h"
#include "app/plugin_host/module.h"
#include "app/files/png.h"
#include "app/camera/projection.h"
#include "app/process/line_reader.h"
#include "app/script/tokenizer.h"
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

using tesselin::Image;
using tesselin::Projection;
using Tokens = std::vector<std::string>;

// The token texts of a line, none for a line that is skipped.
std::optional<Tokens> SplitCommandLine(std::string_view line)
{
    auto tokens = tesselin::TokenizeLine(line);
    if (!tokens)
        return std::nullopt;
    return tesselin::TokenTexts(*tokens);
}

TEST(ModulePath, BesideTheProgramElseInTheInstalledLibraryFolder)
{
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / ("tesselin-module-path-" + std::to_string(getpid()));
    fs::remove_all(root);
    for (const char *folder : {"both/bin", "both/lib/tesselin", "installed/bin", "installed/lib/tesselin",
                               "build", "other/tools", "other/lib/tesselin", "none/bin"})
        fs::create_directories(root / folder);
    for (const char *file : {"both/bin/tesselin.so", "both/lib/tesselin/tesselin.so",
                             "installed/lib/tesselin/tesselin.so", "build/tesselin.so",
                             "other/lib/tesselin/tesselin.so"})
        std::ofstream(root / file) << "module";
    const std::pair<const char *, const char *> cases[] = {
        {"both/bin/tesselin", "both/bin/tesselin.so"},
        {"installed/bin/tesselin", "installed/bin/../lib/tesselin/tesselin.so"},
        {"build/tesselin", "build/tesselin.so"},
        // Only a program in a bin folder looks in the library folder.
        {"other/tools/tesselin", "other/tools/tesselin.so"},
        {"none/bin/tesselin", "none/bin/tesselin.so"},
    };
    for (const auto &[program, module] : cases)
        EXPECT_EQ(fs::path(tesselin::ModuleFor((root / program).string())).lexically_normal(),
                  (root / module).lexically_normal())
            << program;
    fs::remove_all(root);
}

TEST(CommandLine, SplitsAtSpacesAndTabs)
{
    EXPECT_EQ(SplitCommandLine("canvas 640\t480   persp"), (Tokens{"canvas", "640", "480", "persp"}));
    EXPECT_EQ(SplitCommandLine("  \tclear 1 0 0  \r\n"), (Tokens{"clear", "1", "0", "0"}));
    EXPECT_EQ(SplitCommandLine("finish"), (Tokens{"finish"}));
}

TEST(CommandLine, DoubleQuotesKeepSpacesAndAreRemoved)
{
    EXPECT_EQ(SplitCommandLine("picture \"my photo.png\" 0 0 1 1 l"),
              (Tokens{"picture", "my photo.png", "0", "0", "1", "1", "l"}));
    EXPECT_EQ(SplitCommandLine("text \"\" a"), (Tokens{"text", "", "a"}));
    EXPECT_EQ(SplitCommandLine("a\"b c\"d e"), (Tokens{"ab cd", "e"}));
    // An unclosed quote runs to the end of the line.
    EXPECT_EQ(SplitCommandLine("stop \"bye now  "), (Tokens{"stop", "bye now  "}));
}

TEST(CommandLine, BlankAndCommentLinesAreSkipped)
{
    for (const char *line : {"", "   ", "\t", "\r", "# note", "   # indented note", "#"})
        EXPECT_FALSE(SplitCommandLine(line)) << '"' << line << '"';
    // A # later in the line is an ordinary character.
    EXPECT_EQ(SplitCommandLine("stop #1"), (Tokens{"stop", "#1"}));
}

TEST(CommandLine, ScriptLinesEndAtLfOrCrLf)
{
    auto split = [](std::string_view text) {
        std::vector<std::string> lines;
        tesselin::TextLines source(text);
        while (auto line = source.Next())
            lines.emplace_back(*line);
        return lines;
    };
    auto lines = split("a\r\nb\n\nc");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "c");
    EXPECT_EQ(split("x\n").size(), 1u);
}

// Screen x of a point through eye's projection and the shared view.
std::array<double, 3> Screen(const Projection &p, double aspect, double separation, int eye, double x, double y,
                             double z)
{
    auto m = tesselin::Multiply(tesselin::EyeProjection(p, aspect, separation, eye), tesselin::ViewMatrix(p));
    return tesselin::Transform(m, x, y, z);
}

TEST(Camera, EyesAgreeOnThePlaneThroughTheOrigin)
{
    for (bool ortho : {false, true}) {
        Projection p{ortho, ortho ? 3.0 : 40.0, 1, 100, 12};
        for (auto [x, y] : {std::pair{0.0, 0.0}, {1.5, -0.7}, {-2.0, 2.0}}) {
            auto left = Screen(p, 1.5, 0.8, -1, x, y, 0), right = Screen(p, 1.5, 0.8, 1, x, y, 0);
            EXPECT_NEAR(left[0], right[0], 1e-12) << ortho << " " << x;
            EXPECT_NEAR(left[1], right[1], 1e-12);
        }
        // In front: the left eye sees it further right, the right eye further
        // left, by the same amount; behind: the other way. Never vertically.
        for (double z : {2.0, -3.0}) {
            auto centre = Screen(p, 1.5, 0, 0, 0.5, 0.5, z);
            auto left = Screen(p, 1.5, 0.8, -1, 0.5, 0.5, z), right = Screen(p, 1.5, 0.8, 1, 0.5, 0.5, z);
            EXPECT_GT((left[0] - right[0]) * z, 0) << ortho << " z " << z;
            EXPECT_NEAR(left[0] - centre[0], centre[0] - right[0], 1e-12);
            EXPECT_NEAR(left[1], right[1], 1e-12);
        }
    }
}

TEST(Camera, PerspectiveParallaxMatchesTheEyeGeometry)
{
    // Eye at x = -0.5, distance 10; the point (0, 0, 5) meets the plane z = 0
    // at x = 0.5 * 5 / 5 = 0.5; the plane's half-width is aspect * 10 tan 20deg.
    Projection p{false, 40, 1, 100, 10};
    double halfWidth = 2 * 10 * std::tan(20 * 3.14159265358979 / 180);
    auto left = Screen(p, 2, 1, -1, 0, 0, 5);
    EXPECT_NEAR(left[0], 0.5 / halfWidth, 1e-12);
}

TEST(Camera, MonoIsTheSymmetricFrustum)
{
    Projection p{false, 90, 2, 50, 10};
    auto m = tesselin::EyeProjection(p, 2, 0.5, 0);
    // glFrustum(-4, 4, -2, 2, 2, 50): near 2, half-height 2 tan 45deg = 2.
    EXPECT_DOUBLE_EQ(m[0], 0.5);
    EXPECT_DOUBLE_EQ(m[5], 1);
    EXPECT_DOUBLE_EQ(m[8], 0);
    EXPECT_DOUBLE_EQ(m[10], -52.0 / 48.0);
    EXPECT_DOUBLE_EQ(m[11], -1);
    EXPECT_DOUBLE_EQ(m[14], -200.0 / 48.0);
    EXPECT_DOUBLE_EQ(m[12], 0);
}

TEST(Camera, DegenerateInputsGiveFiniteMatrices)
{
    for (double aspect : {0.0, -1.0, double(NAN), double(INFINITY)})
        for (bool ortho : {false, true})
            for (double distance : {0.0, 10.0}) {
                Projection p{ortho, 30, 1, 100, distance};
                auto m = tesselin::EyeProjection(p, aspect, 1, -1);
                for (double v : m)
                    EXPECT_TRUE(std::isfinite(v)) << aspect << " " << ortho << " " << distance;
            }
}

TEST(Camera, NumbersThatMakeNoViewAreNamed)
{
    EXPECT_FALSE(tesselin::ProjectionProblem({false, 30, 1, 100, 10}));
    EXPECT_FALSE(tesselin::ProjectionProblem({true, 2, -5, 100, 10})); // ortho may clip behind the camera
    EXPECT_NE(tesselin::ProjectionProblem({false, 30, 0, 100, 10})->find("near"), std::string::npos);
    EXPECT_NE(tesselin::ProjectionProblem({false, 30, 5, 5, 10})->find("far"), std::string::npos);
    EXPECT_NE(tesselin::ProjectionProblem({false, 0, 1, 100, 10})->find("field of view"), std::string::npos);
    EXPECT_NE(tesselin::ProjectionProblem({false, 180, 1, 100, 10})->find("field of view"), std::string::npos);
    EXPECT_NE(tesselin::ProjectionProblem({true, 0, 1, 100, 10})->find("half-height"), std::string::npos);
    EXPECT_NE(tesselin::ProjectionProblem({true, 1, 3, 3, 10})->find("differ"), std::string::npos);
    EXPECT_TRUE(tesselin::ProjectionProblem({false, NAN, 1, 100, 10}));
}

TEST(Anaglyph, EachChannelIsLeftTimesLeftColourPlusRightTimesRightColour)
{
    using tesselin::Rgb;
    uint32_t left[] = {Rgb(200, 100, 50), Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(255, 255, 255)};
    uint32_t right[] = {Rgb(10, 20, 30), Rgb(255, 255, 255), Rgb(255, 255, 255), Rgb(0, 0, 0)};
    tesselin::ApplyScriptColours({left, 4}, {right, 4}, 4, 1, {Rgb(255, 0, 0), Rgb(0, 255, 255)});
    EXPECT_EQ(left[0], Rgb(200, 20, 30));
    EXPECT_EQ(left[1], Rgb(255, 255, 255));
    EXPECT_EQ(left[2], Rgb(0, 255, 255));
    EXPECT_EQ(left[3], Rgb(255, 0, 0));
}

TEST(Anaglyph, PartialColoursRoundAndSumsClampAt255)
{
    using tesselin::Rgb;
    uint32_t left[] = {Rgb(255, 100, 3)}, right[] = {Rgb(255, 100, 3)};
    tesselin::ApplyScriptColours({left, 1}, {right, 1}, 1, 1, {Rgb(127, 127, 127), Rgb(200, 0, 1)});
    // red: (255*127 + 255*200) / 255 = 327 -> 255; green: 100*127/255 = 49.8 -> 50;
    // blue: (3*127 + 3*1) / 255 = 1.5 -> 2.
    EXPECT_EQ(left[0], Rgb(255, 50, 2));
}

TEST(Images, SideBySidePutsTheLeftEyeOnTheLeft)
{
    Image left(2, 1, 1), right(3, 2, 2);
    Image both = tesselin::SideBySidePicture(left, right, {});
    EXPECT_EQ(both.width, 5);
    EXPECT_EQ(both.height, 2);
    EXPECT_EQ(both.At(1, 0), 1u);
    EXPECT_EQ(both.At(2, 0), 2u);
    EXPECT_EQ(both.At(4, 1), 2u);
    EXPECT_EQ(both.At(0, 1), 0x00FFFFFFu); // padding below the shorter eye
}

TEST(Images, PngRoundTripKeepsEveryPixel)
{
    Image image(37, 11);
    for (std::size_t i = 0; i < image.pixels.size(); i++)
        image.pixels[i] = uint32_t(i * 2654435761u) & 0x00FFFFFFu;
    std::string path = render::ScratchDirectory() + "/round.png", error;
    for (int level : {0, 1, 6, 9}) {
        ASSERT_TRUE(tesselin::WritePng(path, image, error, level)) << error;
        auto back = tesselin::ReadPng(path, error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(back->width, 37);
        EXPECT_EQ(back->height, 11);
        EXPECT_EQ(back->pixels, image.pixels) << "level " << level;
    }
    auto encoded = tesselin::EncodePng(image, error);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->substr(1, 3), "PNG");
}

TEST(Images, EmptyImagesAreNotWritten)
{
    std::string path = render::ScratchDirectory() + "/empty.png", error;
    EXPECT_FALSE(tesselin::WritePng(path, Image(), error));
    EXPECT_NE(error.find("no image"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(tesselin::EncodePng(Image(0, 5), error));
}

TEST(Images, UnreadableFilesAreReported)
{
    std::string path = render::ScratchDirectory() + "/not.png", error;
    std::ofstream(path) << "not a picture";
    EXPECT_FALSE(tesselin::ReadPng(path, error));
    EXPECT_NE(error.find("cannot read " + path), std::string::npos);
}

} // namespace
