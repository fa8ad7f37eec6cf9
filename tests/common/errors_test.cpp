#include <gtest/gtest.h>
#include "common/errors.h"
#include "common/growable_array.h"

namespace tvx {
namespace {

TEST(ErrorReporter, CloseFailureNeverHidesAnEarlierFailure)
{
    ErrorReporter reporter;
    reporter.NoteCode(ReadFailed);
    reporter.ReportCloseFailure(L"a.txt");
    EXPECT_EQ(reporter.RecordedCode(), ReadFailed);
    EXPECT_EQ(reporter.ErrorCount(), 2u);

    ErrorReporter other;
    other.ReportCloseFailure(L"a.txt");
    EXPECT_EQ(other.RecordedCode(), CloseFailed);
    EXPECT_TRUE(other.ReportReadFailure(L"a.txt"));
    EXPECT_EQ(other.RecordedCode(), ReadFailed);
}

TEST(ErrorReporter, QuitRaisesTheCodeItRecords)
{
    ErrorReporter reporter;
    try {
        reporter.Quit(OutOfMemory);
        FAIL() << "Quit returned";
    } catch (TVX_EXIT code) {
        EXPECT_EQ(code, OutOfMemory);
    }
    EXPECT_EQ(reporter.RecordedCode(), OutOfMemory);
    EXPECT_FALSE(reporter.AskRetryWrite(L"x"));
}

TEST(GrowableArray, GrowsByAQuarterPlus32)
{
    GrowableArray<char> empty;
    empty.Append(0u);
    EXPECT_EQ(empty.Data(), nullptr);

    GrowableArray<int> byOne;
    uint32_t seen[4];
    for (int i = 0; i < 4; ++i) {
        byOne.Append(byOne.Capacity() - byOne.Count() + 1);
        seen[i] = byOne.Capacity();
    }
    EXPECT_EQ(seen[0], 32u);
    EXPECT_EQ(seen[1], 72u);
    EXPECT_EQ(seen[2], 122u);
    EXPECT_EQ(seen[3], 184u);

    GrowableArray<int> byHundred(100);
    EXPECT_EQ(byHundred.Capacity(), 100u);
}

TEST(GrowableArray, ResizeDownKeepsTheBlock)
{
    GrowableArray<int> array(40);
    array.Append(1u);
    int* block = array.Data();
    ASSERT_EQ(array.Capacity(), 82u);
    array.Resize(5);
    EXPECT_EQ(array.Count(), 5u);
    EXPECT_EQ(array.Data(), block);
    EXPECT_EQ(array.Capacity(), 82u);
    array.Resize(60);
    EXPECT_EQ(array.Data(), block);
}

TEST(GrowableArray, ExhaustedMemoryRaisesOutOfMemory)
{
    GrowableArray<char> huge;
    EXPECT_THROW(huge.Append(0xF0000000u), TVX_EXIT);
    EXPECT_EQ(Errors().RecordedCode(), OutOfMemory);
    Errors().Reset();
}

}  // namespace
}  // namespace tvx
