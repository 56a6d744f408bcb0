// The number-file reader: the same numbers as a byte-at-a-time reading, at
// every chunk size, and conversion that matches atof for every token.
#include "data/data.h"
#include "tests/command/data_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// The reading the fast reader must equal: bytes one at a time, tokens split
// at CR, LF, space and NUL only, each selected token converted whole by atof.
std::vector<float> ReferenceRead(const std::string &bytes, int stride, int start)
{
    std::vector<float> out;
    std::string token;
    long long k = 0;
    auto close = [&] {
        if (token.empty())
            return;
        if (stride != 0 && k % stride == start)
            out.push_back(static_cast<float>(std::atof(token.c_str())));
        k++;
        token.clear();
    };
    for (char c : bytes) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\0')
            close();
        else
            token += c;
    }
    close();
    return out;
}

uint32_t Bits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Counting pass, then storing pass into a block of exactly that size, both in
// chunks of the given size.
std::vector<float> FastRead(const ScratchFile &file, int stride, int start, size_t chunk)
{
    std::FILE *f = std::fopen(file.Path().c_str(), "rb");
    EXPECT_NE(f, nullptr);
    int64_t n = ReadSelectedNumbersInChunks(nullptr, 0, f, stride, start, chunk);
    std::vector<float> out(static_cast<size_t>(n > 0 ? n : 0));
    if (n > 0) {
        std::fseek(f, 0, SEEK_SET);
        EXPECT_EQ(ReadSelectedNumbersInChunks(out.data(), n, f, stride, start, chunk), n);
    }
    std::fclose(f);
    return out;
}

void ExpectSameBits(const std::vector<float> &got, const std::vector<float> &want, const std::string &what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); i++)
        ASSERT_EQ(Bits(got[i]), Bits(want[i])) << what << " element " << i << ": " << got[i] << " vs " << want[i];
}

// The command tests read the file examples; here the rest of the format.
TEST(NumberFile, SeparatorsAndSelections)
{
    ScratchFile rows("1 2 3\r\n4 5 6\r\n");
    EXPECT_TRUE(FastRead(rows, 0, 0, NUMBER_CHUNK_BYTES).empty()) << "a stride of 0 selects nothing";
    ExpectSameBits(FastRead(rows, INT32_MIN, 0, NUMBER_CHUNK_BYTES), {1}, "|INT32_MIN| does not overflow");
    ExpectSameBits(FastRead(ScratchFile("1,5;9 x 2.5e1"), 1, 0, NUMBER_CHUNK_BYTES), {1, 0, 25}, "comma, letters");
    ExpectSameBits(FastRead(ScratchFile(std::string("4\0\0005\r\r6", 7)), 1, 0, NUMBER_CHUNK_BYTES), {4, 5, 6}, "NUL");
    EXPECT_TRUE(FastRead(ScratchFile(std::string(" \r\n\0 ", 5)), 1, 0, NUMBER_CHUNK_BYTES).empty());
}

// Random files of tricky tokens and separator runs, at chunk sizes from one
// byte up, so that tokens split across reads in every possible place.
TEST(NumberFile, EveryChunkSizeReadsLikeByteAtATime)
{
    static const char *const pieces[] = {
        "0", "-1", "3.25", "1e3", "-.5", "+7", "0x1A", "inf", "nan", "1,5", "2;3", "\t8",
        "9\t10", "abc", "1e", "1e+", "-", ".", "00012", "1.5e-40", "4e38", "1e400",
        "123456789012345678901234567890", "0.1", "-0", "5x", "\v6", "7e-2\t",
    };
    static const char *const separators[] = {" ", "\n", "\r\n", "  ", "\r", " \r ", "\n\r\n", "\r\r"};
    std::mt19937 random(12345);
    for (int round = 0; round < 100; round++) {
        std::string bytes;
        int tokens = std::uniform_int_distribution<int>(0, 30)(random);
        if (random() % 3 == 0)
            bytes += " ";
        for (int t = 0; t < tokens; t++) {
            bytes += pieces[random() % std::size(pieces)];
            if (random() % 4 == 0)
                bytes += pieces[random() % std::size(pieces)]; // glued: one token
            if (t + 1 < tokens || random() % 2)
                bytes += random() % 5 == 4 ? std::string(1, '\0') : std::string(separators[random() % std::size(separators)]);
        }
        ScratchFile file(bytes);
        int stride = std::uniform_int_distribution<int>(-4, 4)(random);
        int start = std::uniform_int_distribution<int>(-1, 4)(random);
        std::vector<float> want = ReferenceRead(bytes, stride, start);
        for (size_t chunk : {size_t(1), size_t(2), size_t(3), size_t(5), size_t(7), size_t(16), size_t(4096)})
            ExpectSameBits(FastRead(file, stride, start, chunk), want,
                           "round " + std::to_string(round) + " chunk " + std::to_string(chunk));
    }
}

TEST(NumberFile, TokenSplitAcrossTheDefaultChunk)
{
    // The token 12345.678 straddles the first chunk boundary of the real reader.
    std::string bytes(NUMBER_CHUNK_BYTES - 4, ' ');
    bytes += "12345.678 9";
    ScratchFile file(bytes);
    ExpectSameBits(FastRead(file, 1, 0, NUMBER_CHUNK_BYTES), {12345.678f, 9}, "split token");
}

TEST(NumberFile, TokensLongerThanAnyBufferConvertWhole)
{
    // 300 digits then a fraction: cut at 259 characters it would read as
    // another number entirely.
    std::string longNumber = "0." + std::string(300, '0') + "1e305";
    std::string longWord = std::string(5000, '7');
    std::string bytes = longNumber + " " + longWord + "\n3";
    ScratchFile file(bytes);
    std::vector<float> want = {static_cast<float>(std::atof(longNumber.c_str())),
                               static_cast<float>(std::atof(longWord.c_str())), 3};
    EXPECT_EQ(want[0], 1e4f) << "the whole token holds the exponent";
    for (size_t chunk : {size_t(1), size_t(64), size_t(NUMBER_CHUNK_BYTES)})
        ExpectSameBits(FastRead(file, 1, 0, chunk), want, "chunk " + std::to_string(chunk));
}

TEST(NumberFile, StoringNeverWritesPastItsCapacity)
{
    ScratchFile file("1 2 3");
    std::FILE *f = std::fopen(file.Path().c_str(), "rb");
    int64_t n = ReadSelectedNumbers(nullptr, 0, f, 1, 0);
    ASSERT_EQ(n, 3);
    file.Append(" 4 5 6 7"); // the file grows between the passes
    std::fseek(f, 0, SEEK_SET);
    std::vector<float> block(8, -99.0f);
    EXPECT_EQ(ReadSelectedNumbers(block.data(), n, f, 1, 0), 3);
    EXPECT_EQ(block, (std::vector<float>{1, 2, 3, -99, -99, -99, -99, -99}));

    file.Write("5"); // and shrinks
    std::fseek(f, 0, SEEK_SET);
    std::fill(block.begin(), block.end(), -99.0f);
    EXPECT_EQ(ReadSelectedNumbers(block.data(), 3, f, 1, 0), 1) << "only what is there now";
    EXPECT_EQ(block[0], 5.0f);
    EXPECT_EQ(block[1], -99.0f);
    std::fclose(f);
}

// Tokens on which a fast conversion could part from atof: signs, blanks,
// hex, inf and nan, range limits, halfway cases, long mantissas, junk after
// the number.
TEST(NumberConversion, MatchesAtofOnTrickyTokens)
{
    static const char *const tokens[] = {
        "0", "-0", "+0", "00", ".0", "0.", ".", "-", "+", "-.", "e5", ".e1", "1e", "1e+", "1e-", "1E5",
        "1.e2", "-.5", "+.5", "\t2", "\v3", "\f4", "\t\t-1.5", "\t", "0x", "0x1", "0X1p3", "-0x.8p1",
        "0x1.8", "0xg", "1x", "5X", "0x1e", "inf", "-inf", "INF", "infinity", "-Infinity", "infx",
        "nan", "-nan", "NaN(123)", "nan(", "1,5", "1;5", "2.5abc", "3e2e3", "1.2.3", "--1", "+-1",
        "1e38", "3.4028235e38", "3.4028236e38", "3.40282357e38", "3.4028236e38x", "-3.4028236e38",
        "1e39", "1e308", "1.7976931348623157e308", "1.7976931348623159e308", "1e309", "-1e309",
        "1e-38", "1.17549435e-38", "1.4e-45", "7e-46", "7.1e-46", "1e-46", "2.4703282292062327e-324",
        "2.4703282292062328e-324", "5e-324", "1e-400", "-1e-400", "0e999999", "1e-999999",
        "123456789012345678901234567890", "9007199254740993", "9007199254740993.0000000000000001",
        "0.1", "0.2", "0.3", "16777217", "16777217.000000001", "33554435", "1.00000005960464477539",
        "1.000000059604644775390625", "1.0000000596046447753906251",
        "0.000000000000000000000000000000000000000000001e+10", "1e0000000000000000000000000005",
        "00000000000000000000000000000000000000001.5", "4.9406564584124654e-324", "2e-323",
        "7.006492321624085354618e-46", "1.401298464324817070923e-45",
    };
    for (const char *token : tokens) {
        float want = static_cast<float>(std::atof(token));
        EXPECT_EQ(Bits(ConvertNumberToken(token)), Bits(want)) << "token \"" << token << "\"";
    }
}

TEST(NumberConversion, MatchesAtofOnRandomTokens)
{
    std::mt19937_64 random(2024);
    const char alphabet[] = "0123456789.eE+-x";
    char text[64];
    for (int i = 0; i < 200000; i++) {
        switch (i % 4) {
        case 0: { // any double written with 17 significant digits
            uint64_t bits = random();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            std::snprintf(text, sizeof text, "%.17g", value);
            break;
        }
        case 1: // short decimals as data files hold them
            std::snprintf(text, sizeof text, "%.*f", int(random() % 8),
                          std::ldexp(double(int64_t(random() % 2000001) - 1000000), -int(random() % 12)));
            break;
        case 2: // around the float halfway points
            std::snprintf(text, sizeof text, "%.*e", int(random() % 12 + 6),
                          std::ldexp(1.0 + double(random() % (1u << 25)) / double(1u << 24), int(random() % 260) - 150));
            break;
        default: { // junk from number characters
            int n = int(random() % 10) + 1;
            for (int k = 0; k < n; k++)
                text[k] = alphabet[random() % (sizeof alphabet - 1)];
            text[n] = '\0';
        }
        }
        float want = static_cast<float>(std::atof(text));
        ASSERT_EQ(Bits(ConvertNumberToken(text)), Bits(want)) << "token \"" << text << "\"";
    }
}

}
