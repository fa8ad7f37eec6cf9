#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/errors.h"
#include "common/fileobject.h"
#include "common/fileops.h"
#include "support/scratch.h"

namespace tvx {
namespace {

// Fails reads on demand and records the size of every system read it was asked for.
class FailingReads : public FileObject {
public:
    DWORD failWith = 0;       // 0: reads go to the file
    uint32_t failAbove = 0;   // only reads of more bytes than this fail
    std::vector<DWORD> requested;

protected:
    BOOL SystemRead(void* buffer, DWORD count, DWORD* read) override
    {
        requested.push_back(count);
        if (failWith != 0 && count > failAbove) {
            *read = 0;
            SetLastError(failWith);
            return FALSE;
        }
        return FileObject::SystemRead(buffer, count, read);
    }
};

class FailingWrites : public FileObject {
protected:
    BOOL SystemWrite(const void*, DWORD, DWORD* written) override
    {
        *written = 0;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
};

class FileObjectTest : public testing::Test {
protected:
    void SetUp() override { Errors().Reset(); }
    void TearDown() override { Errors().Reset(); }
    test::ScratchFolder scratch_{L"tvx-fileobject"};
};

TEST_F(FileObjectTest, ACreatedFileGoesUnlessItWasClosed)
{
    std::wstring dropped = scratch_ / L"dropped.txt";
    std::wstring kept = scratch_ / L"kept.txt";
    {
        FileObject file;
        ASSERT_TRUE(file.Create(dropped.c_str(), true));
        ASSERT_TRUE(file.Write("abc", 3));
    }
    EXPECT_FALSE(FileExists(dropped.c_str()));
    {
        FileObject file;
        ASSERT_TRUE(file.Create(kept.c_str(), true));
        ASSERT_TRUE(file.Write("abc", 3));
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(test::ReadFileBytes(kept), "abc");
    {
        FileObject reader;  // an opened file is only closed, never deleted
        ASSERT_TRUE(reader.Open(kept.c_str(), false));
    }
    EXPECT_TRUE(FileExists(kept.c_str()));
}

TEST_F(FileObjectTest, AnExceptionThroughTheOwnerRemovesTheCreatedFile)
{
    std::wstring path = scratch_ / L"Talvex.ini";
    test::WriteFileBytes(path, "old contents");
    try {
        FileObject file;
        ASSERT_TRUE(file.Create(path.c_str(), true));
        Errors().FailNoMemory();
    } catch (TVX_EXIT) {
    }
    EXPECT_FALSE(FileExists(path.c_str()));
}

TEST_F(FileObjectTest, CreateTruncatesAnExistingFile)
{
    std::wstring path = scratch_ / L"a.txt";
    test::WriteFileBytes(path, "hello");
    FileObject file;
    ASSERT_TRUE(file.Create(path.c_str(), false));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(test::ReadFileBytes(path), "");
}

TEST_F(FileObjectTest, AFailedReadIsTheEndOfTheDataUntilTheNextOpen)
{
    std::wstring path = scratch_ / L"a.txt";
    test::WriteFileBytes(path, "hello");
    FailingReads file;
    ASSERT_TRUE(file.Open(path.c_str(), false));
    file.failWith = ERROR_LOCK_VIOLATION;
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(Errors().RecordedCode(), ReadFailed);
    file.failWith = 0;
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.requested.size(), 1u) << "no system call after a failed read";

    ASSERT_TRUE(file.Open(path.c_str(), false));
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(FileObjectTest, ALockViolationAbove32768BytesIsRetriedWith32768)
{
    std::wstring path = scratch_ / L"big.bin";
    test::WriteFileBytes(path, std::string(100000, 'x'));
    std::vector<char> buffer(65536);
    struct Case {
        DWORD error;
        uint32_t count;
        uint32_t expectedRead;
        std::vector<DWORD> expectedRequests;
    };
    const Case cases[] = {
        {ERROR_LOCK_VIOLATION, 65536, 32768, {65536, 32768}},
        {ERROR_LOCK_VIOLATION, 32768, 0, {32768}},
        {ERROR_ACCESS_DENIED, 65536, 0, {65536}},
    };
    for (const Case& c : cases) {
        FailingReads file;
        ASSERT_TRUE(file.Open(path.c_str(), false));
        file.failWith = c.error;
        file.failAbove = 32768;
        if (c.count == 32768) file.failAbove = 0;
        EXPECT_EQ(file.Read(buffer.data(), c.count), c.expectedRead) << c.count;
        EXPECT_EQ(file.requested, c.expectedRequests) << c.count;
    }
}

TEST_F(FileObjectTest, SeekAndTellMoveThroughAnOpenFile)
{
    std::wstring path = scratch_ / L"a.txt";
    test::WriteFileBytes(path, "abcdefghij");
    FileObject file;
    file.Seek(4, FILE_BEGIN);  // no file: nothing happens
    EXPECT_EQ(file.Tell(), -1);
    ASSERT_TRUE(file.Open(path.c_str(), true));
    EXPECT_EQ(file.Tell(), 0);
    file.Seek(4, FILE_BEGIN);
    char buffer[3];
    ASSERT_EQ(file.Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "efg");
    file.Seek(-2, FILE_END);
    EXPECT_EQ(file.Tell(), 8);
    file.Seek(-20, FILE_CURRENT);  // before the start: fails and leaves the position
    EXPECT_EQ(file.Tell(), 8);
}

TEST_F(FileObjectTest, EdgesWithoutAFile)
{
    FileObject file;
    EXPECT_TRUE(file.Write("", 0));
    EXPECT_FALSE(file.Create((scratch_ / L"missing\\a.txt").c_str(), false));
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.Open((scratch_ / L"missing.txt").c_str(), false));
    EXPECT_EQ(Errors().ErrorCount(), 0u);
}

TEST_F(FileObjectTest, AFailedOpenKeepsTheFileAlreadyOpen)
{
    std::wstring path = scratch_ / L"a.txt";
    test::WriteFileBytes(path, "abc");
    FileObject file;
    ASSERT_TRUE(file.Open(path.c_str(), false));
    EXPECT_FALSE(file.Open((scratch_ / L"missing.txt").c_str(), false));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(std::wstring(file.FileName()), path);
    char buffer[3];
    EXPECT_EQ(file.Read(buffer, 3), 3u);
}

TEST_F(FileObjectTest, AFailedWriteReturnsFalseAndTheFileStillGoes)
{
    std::wstring path = scratch_ / L"a.txt";
    {
        FailingWrites file;
        ASSERT_TRUE(file.Create(path.c_str(), false));
        EXPECT_FALSE(file.Write("abc", 3));
    }
    EXPECT_FALSE(FileExists(path.c_str()));
}

}  // namespace
}  // namespace tvx
