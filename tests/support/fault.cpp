#include "support/fault.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include "common/errors.h"

namespace tvx::test {

BOOL FaultyFile::SystemRead(void* buffer, DWORD count, DWORD* read)
{
    if (failingOffset_ >= 0) {
        int64_t position = Tell();
        if (position >= failingOffset_) {
            *read = 0;
            SetLastError(ERROR_CRC);
            return FALSE;
        }
        count = static_cast<DWORD>(std::min<int64_t>(count, failingOffset_ - position));
    }
    return FileObject::SystemRead(buffer, count, read);
}

BOOL FaultyFile::SystemWrite(const void* data, DWORD count, DWORD* written)
{
    ++writes_;
    if (failingWrite_ == 0 || writes_ < failingWrite_) return FileObject::SystemWrite(data, count, written);
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

MemoryRunsOut::MemoryRunsOut(int after) { FailAllocationAfterForTesting(after); }

MemoryRunsOut::~MemoryRunsOut()
{
    FailAllocationAfterForTesting(-1);
    Errors().Reset();
}

void PrintFaultCases(int count)
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::printf("%s.%s: %d fault cases\n", test->test_suite_name(), test->name(), count);
}

}  // namespace tvx::test
