// Memory running out while an array grows: the exception leaves the array as it was, so a
// caller that catches it (the INI loader) finds exactly the elements it wrote.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/errors.h"
#include "common/growable_array.h"
#include "support/fault.h"

namespace tvx {
namespace {

struct Entry {
    char* key;
    int value;
};

TEST(GrowableArrayFault, AFailedGrowthKeepsCountCapacityAndContents)
{
    GrowableArray<Entry> array;
    char key[] = "k";
    for (int i = 0; i < 32; ++i) array.Add({key, i});
    const Entry* block = array.Data();
    test::MemoryRunsOut failure(0);
    EXPECT_THROW(array.Add({key, 32}), TVX_EXIT);
    EXPECT_EQ(Errors().RecordedCode(), OutOfMemory);
    EXPECT_EQ(array.Count(), 32u) << "no element claimed that was never written";
    EXPECT_EQ(array.Capacity(), 32u);
    EXPECT_EQ(array.Data(), block);
    for (uint32_t i = 0; i < array.Count(); ++i) EXPECT_EQ(array[i].value, static_cast<int>(i));
    // Within the capacity nothing is allocated, so the array still takes elements.
    array.Resize(31);
    array.Add({key, 99});
    EXPECT_EQ(array[31].value, 99);
}

TEST(GrowableArrayFault, TheFirstAllocationFailingLeavesAnEmptyArray)
{
    GrowableArray<wchar_t> array;
    test::MemoryRunsOut failure(0);
    EXPECT_THROW(array.Append(5), TVX_EXIT);
    EXPECT_EQ(array.Count(), 0u);
    EXPECT_EQ(array.Data(), nullptr);
    EXPECT_THROW(array.Resize(1), TVX_EXIT);
    EXPECT_EQ(array.Count(), 0u);
}

// Counts past 32 bits, or blocks past the address space, would wrap to a small allocation
// that the elements then overrun.
TEST(GrowableArrayFault, CountsThatCannotBeAddressedRaiseOutOfMemory)
{
    GrowableArray<uint32_t> array(3);
    EXPECT_THROW(array.Append(UINT32_MAX - 2), TVX_EXIT);
    EXPECT_EQ(array.Count(), 3u);
    EXPECT_THROW(array.Append(0x40000000u), TVX_EXIT) << "four bytes each: 4 GiB";
    EXPECT_EQ(array.Count(), 3u);
    EXPECT_EQ(Errors().RecordedCode(), OutOfMemory);
    Errors().Reset();
}

TEST(GrowableArrayFault, TheSeamLetsTheChosenNumberOfAllocationsThrough)
{
    GrowableArray<char> array;
    test::MemoryRunsOut failure(2);
    array.Append(1);   // capacity 32
    array.Append(32);  // capacity 72
    EXPECT_THROW(array.Append(40), TVX_EXIT);
    EXPECT_THROW(array.Append(40), TVX_EXIT) << "memory stays exhausted";
    EXPECT_EQ(array.Count(), 33u);
    FailAllocationAfterForTesting(-1);
    array.Append(40);
    EXPECT_EQ(array.Count(), 73u);
}

}  // namespace
}  // namespace tvx
