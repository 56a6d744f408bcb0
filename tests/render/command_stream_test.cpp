// The word stream behind the record: calls appended, repeated in ranges, and
// refused rather than grown past its limit.
#include "app/gl/call_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using tesselin::gl::CommandStream;
using Word = CommandStream::Word;

std::vector<Word> Played;

// A call that notes its one argument word.
const Word *NoteWord(const Word *p)
{
    Played.push_back(*p);
    return p + 1;
}

// Appends a call of NoteWord with value; false when the stream refused it.
bool Append(CommandStream &stream, Word value)
{
    Word *p = stream.Reserve(3);
    if (!p)
        return false;
    CommandStream::Thunk thunk = &NoteWord;
    std::memcpy(p, &thunk, sizeof thunk);
    p[2] = value;
    stream.Commit(3);
    return true;
}

std::vector<Word> Play(const CommandStream &stream, std::size_t from, std::size_t to)
{
    Played.clear();
    stream.Replay(from, to);
    return Played;
}

TEST(CommandStream, RepeatsExactlyTheCallsOfARange)
{
    CommandStream stream;
    for (Word value = 1; value <= 5; value++)
        ASSERT_TRUE(Append(stream, value * 10));
    ASSERT_EQ(stream.Words(), 15u);
    struct Case {
        std::size_t from, to;
        std::vector<Word> played;
    } cases[] = {
        {0, 15, {10, 20, 30, 40, 50}}, {0, 0, {}},      {3, 9, {20, 30}},
        {12, 15, {50}},                {6, 1000, {30, 40, 50}}, {15, 15, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Play(stream, c.from, c.to), c.played) << c.from << ".." << c.to;
    Played.clear();
    stream.Replay();
    EXPECT_EQ(Played, (std::vector<Word>{10, 20, 30, 40, 50}));
}

TEST(CommandStream, RefusesToGrowPastItsLimitAndKeepsWhatItHas)
{
    CommandStream stream;
    stream.SetMostBytes(1 << 20);
    std::size_t appended = 0;
    while (Append(stream, Word(appended)))
        appended++;
    // Every call that fits is kept: 12 bytes each, up to 1 MB.
    EXPECT_EQ(appended, (1u << 20) / 12);
    EXPECT_LE(stream.HeldBytes(), std::size_t(1) << 20);
    EXPECT_EQ(stream.Bytes(), appended * 12);
    EXPECT_EQ(Play(stream, 0, stream.Words()).size(), appended);
    EXPECT_EQ(stream.Reserve(std::size_t(1) << 40), nullptr);
}

TEST(CommandStream, ClearGivesBackStorageOnlyPastWhatItKeeps)
{
    CommandStream stream;
    for (Word value = 0; value < 100000; value++)
        Append(stream, value);
    std::size_t held = stream.HeldBytes();
    ASSERT_GE(held, 1200000u);
    stream.Clear(held);
    EXPECT_TRUE(stream.Empty());
    EXPECT_EQ(stream.HeldBytes(), held);
    stream.Clear(held - 1);
    EXPECT_EQ(stream.HeldBytes(), 0u);
    EXPECT_TRUE(Append(stream, 7));
    EXPECT_EQ(Play(stream, 0, stream.Words()), std::vector<Word>{7});
}

} // namespace
