// The point-array store: release and renewal keep its invariants.
#include "tests/doubles/plugin_fixture.h"

#include <cstdlib>

namespace {

using PointStore = PluginTest;

float *Block(std::initializer_list<float> values)
{
    float *block = static_cast<float *>(std::calloc(values.size() ? values.size() : 1, sizeof(float)));
    int i = 0;
    for (float v : values)
        block[i++] = v;
    return block;
}

TEST_F(PointStore, ReleaseFreesEveryCountedSlotAndEmptiesTheCount)
{
    ResetPointArrayStore();
    ArraySlots[0] = Block({1, 2});
    ArrayLengths[0] = 2;
    ArraySlots[1] = Block({3});
    ArrayLengths[1] = 1;
    ArrayCount = 2;
    ReleasePointArrays();
    EXPECT_EQ(ArrayCount, 0);
    for (int i = 0; i < POINT_ARRAY_SLOTS; i++) {
        EXPECT_EQ(ArraySlots[i], nullptr) << i;
        EXPECT_EQ(ArrayLengths[i], 0) << i;
    }
}

TEST_F(PointStore, RenewalEmptiesAStoreWithAnEmptyCountedSlot)
{
    ResetPointArrayStore();
    ArraySlots[0] = Block({1});
    ArrayLengths[0] = 1;
    ArrayCount = 2; // slot 1 counted but empty, as a number file that selects nothing leaves it
    ResetPointArrayStore();
    ASSERT_NE(ArraySlots, nullptr);
    ASSERT_NE(ArrayLengths, nullptr);
    EXPECT_EQ(ArrayCount, 0);
    for (int i = 0; i < POINT_ARRAY_SLOTS; i++) {
        EXPECT_EQ(ArraySlots[i], nullptr);
        EXPECT_EQ(ArrayLengths[i], 0);
    }
}

TEST_F(PointStore, ReleaseWithoutTablesDoesNothing)
{
    ArrayCount = 0;
    ReleasePointArrays();
    EXPECT_EQ(ArraySlots, nullptr);
    EXPECT_EQ(ArrayLengths, nullptr);
    EXPECT_EQ(ArrayCount, 0);
}

TEST_F(PointStore, UnloadFreesArraysAndTables)
{
    Load();
    ResetPointArrayStore();
    ArraySlots[0] = Block({1, 2, 3});
    ArrayLengths[0] = 3;
    ArrayCount = 1;
    ZiltorH_Unload();
    EXPECT_EQ(ArrayCount, 0);
    EXPECT_EQ(ArraySlots, nullptr);
    EXPECT_EQ(ArrayLengths, nullptr);
}

}
