// Runs the fuzz targets' entries over generated inputs: random tokens, huge and
// tiny numbers, words that are not numbers, every keyword with every token count
// up to twelve, and every seed of both corpora. A crash, a sanitizer report or
// an over-long result fails it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
const char *const *FuzzKeywords(size_t *count);
int RunFuzzScript(const uint8_t *data, size_t size);

namespace {

const char *const Numbers[] = {"0", "1", "-1", "2", "360", "-360", "0.5", "1e38", "-1e38", "1e-38", "nan",
                               "inf", "-inf", "2147483647", "-2147483648", "99999999999", "abc", "1,5",
                               "ortho", "flat", "white", "r", "abs", "8", "16", "3", "-0"};

std::vector<uint8_t> Input(uint8_t control, uint8_t keyword, const std::vector<std::string> &tokens)
{
    std::vector<uint8_t> input{control, keyword};
    for (const std::string &t : tokens) {
        input.push_back(' ');
        input.insert(input.end(), t.begin(), t.end());
    }
    return input;
}

TEST(Robustness, EveryKeywordWithEveryShortTokenCount)
{
    std::mt19937 random(12345);
    for (int keyword = 0; keyword < 64; keyword++)
        for (int count = 0; count <= 12; count++)
            for (int round = 0; round < 6; round++) {
                std::vector<std::string> tokens;
                for (int i = 0; i < count; i++)
                    tokens.push_back(Numbers[random() % (sizeof Numbers / sizeof *Numbers)]);
                std::vector<uint8_t> input = Input(static_cast<uint8_t>(round == 5 ? 4 : 1),
                                                   static_cast<uint8_t>(keyword), tokens);
                ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
            }
}

TEST(Robustness, RandomBytes)
{
    std::mt19937 random(777);
    for (int round = 0; round < 3000; round++) {
        std::vector<uint8_t> input(2 + random() % 120);
        for (uint8_t &byte : input)
            byte = static_cast<uint8_t>(random());
        ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
    }
}

TEST(Robustness, CommandsAcrossChangingCanvases)
{
    // 3D, flat and stereo canvases in turn, each followed by commands that use
    // the quadric, the point store, the canvases and the text bitmap.
    const std::vector<std::vector<std::string>> lines = {
        {"canvas", "32", "32", "persp", "45", "1", "100", "10"}, {"sphere", "4", "4", "flat"}, {"array", "1", "2"},
        {"canvas", "16", "8", "2"}, {"erase", "white"}, {"array", "3"}, {"line"},
        {"canvas", "8", "8", "1", "ortho", "1", "1", "9", "5", "0.2", "3"}, {"wire", "2"}, {"disk", "0.5", "1", "90", "4"},
        {"torus", "1", "0", "360", "4", "x", "360", "4", "flat"}, {"text", "0", "0", "1", "Hi"}, {"dots"}};
    size_t keywordCount = 0;
    const char *const *keywords = FuzzKeywords(&keywordCount);
    for (int round = 0; round < 20; round++)
        for (const auto &line : lines) {
            uint8_t keyword = 0;
            while (keyword < keywordCount && line[0] != keywords[keyword])
                keyword++;
            ASSERT_LT(keyword, keywordCount) << line[0];
            std::vector<uint8_t> input = Input(1, keyword, {line.begin() + 1, line.end()});
            ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0);
        }
}

std::vector<uint8_t> Contents(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every seed, then every seed with each of its lines repeated in turn, so the
// scripts also meet their own state twice (a second canvas, a second load).
TEST(Robustness, EverySeedOfBothCorpora)
{
    namespace fs = std::filesystem;
    int scripts = 0, commands = 0;
    for (const auto &entry : fs::directory_iterator(fs::path(TESSELIN_FUZZ_CORPUS) / "command")) {
        std::vector<uint8_t> input = Contents(entry.path());
        ASSERT_EQ(LLVMFuzzerTestOneInput(input.data(), input.size()), 0) << entry.path();
        commands++;
    }
    for (const auto &entry : fs::directory_iterator(fs::path(TESSELIN_FUZZ_CORPUS) / "script")) {
        std::vector<uint8_t> input = Contents(entry.path());
        ASSERT_EQ(RunFuzzScript(input.data(), input.size()), 0) << entry.path();
        std::vector<uint8_t> twice = input;
        twice.insert(twice.end(), input.begin(), input.end());
        ASSERT_EQ(RunFuzzScript(twice.data(), twice.size()), 0) << entry.path() << " twice";
        scripts++;
    }
    EXPECT_GE(commands, 30);
    EXPECT_GE(scripts, 5);
}

}
