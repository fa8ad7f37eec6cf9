// Talvex.ini under faults: memory running out anywhere in the load, a disk filling up at any
// write of a save, another program holding the file, memory running out while saving. Each
// case checks what the user is left with: which settings are read, and the file on disk.
#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"
#include "common/handles.h"
#include "settings/ini_settings.h"
#include "settings/settings_store.h"
#include "settings_fixture.h"
#include "support/fault.h"

namespace tvx {
namespace {

constexpr int kEntryCount = 40;

std::wstring Name(int i) { return L"K" + std::to_wstring(i); }
std::wstring Value(int i) { return L"value " + std::to_wstring(i) + L" " + std::wstring(i % 7, L'x'); }

std::wstring ManyEntries()
{
    std::wstring text;
    for (int i = 0; i < kEntryCount; ++i) text += L"HKCU\\" + Name(i) + L"=\"" + Value(i) + L"\"\r\n";
    return text;
}

class IniFault : public ::testing::Test {
protected:
    ~IniFault() override { Errors().Reset(); }

    // How many of the file's entries read back, after checking that they are the first ones
    // in the file, each with its whole value.
    int EntriesRead()
    {
        int read = 0;
        for (int i = 0; i < kEntryCount; ++i) {
            wchar_t buffer[64];
            Settings().ReadUserString(L"", Name(i).c_str(), buffer, L"<none>", 64);
            if (buffer == std::wstring(L"<none>")) continue;
            EXPECT_EQ(buffer, Value(i));
            EXPECT_EQ(i, read) << "entry " << i << " read after a gap";
            ++read;
        }
        return read;
    }

    // The file with these lines, loaded, and the setting A changed in memory; the file's bytes.
    std::string LoadAndChange(const std::wstring& lines)
    {
        const std::string bytes = test::Utf16File(lines);
        test::WriteFileBytes(folders_.ProgramIni(), bytes);
        folders_.Reload();
        Settings().WriteUserString(L"", L"A", L"new");
        return bytes;
    }

    bool TemporaryFileLeft() const
    {
        return GetFileAttributesW((folders_.ProgramIni() + L".tmp").c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    test::IniFolders folders_{L"tvx-ini-fault"};
    test::RegistrySandbox sandbox_;
};

// Every allocation of the load in turn is the first to fail: the lines read before it (also
// those still in the reader's line list) are used, and the file is never written back.
TEST_F(IniFault, MemoryRunningOutAnywhereInTheLoadKeepsTheEntriesReadSoFar)
{
    const std::string bytes = test::Utf16File(ManyEntries());
    test::WriteFileBytes(folders_.ProgramIni(), bytes);
    bool someButNotAll = false;
    int after = 0;
    for (;; ++after) {
        SCOPED_TRACE(after);
        folders_.Reload();
        Errors().Reset();
        {
            test::MemoryRunsOut memory(after);
            ASSERT_TRUE(Ini().Serves(HKEY_CURRENT_USER, L"")) << "the file is in use all the same";
            if (Errors().RecordedCode() == Success) break;
        }
        int read = EntriesRead();
        someButNotAll = someButNotAll || (read > 0 && read < kEntryCount);
        EXPECT_TRUE(Settings().IsIntegrationEnabled());
        Settings().WriteUserString(L"", L"K0", L"changed");
        EXPECT_FALSE(Settings().SaveSettingsFile());
        EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), bytes);
        ASSERT_LT(after, 100) << "the load never completed";
    }
    test::PrintFaultCases(after + 1);
    EXPECT_EQ(EntriesRead(), kEntryCount);
    EXPECT_TRUE(someButNotAll) << "memory ran out while the line list grew";
}

// The disk fills up at each write of the save in turn.
TEST_F(IniFault, AFullDiskAtAnyWriteOfASaveLeavesTheOldFileAndNoTemporaryFile)
{
    const std::string before = LoadAndChange(L"HKCU\\A=\"old\"\r\nHKCU\\B=1\r\nHKCU\\C=bin:00\r\n");
    test::FaultyFile counting;
    ASSERT_TRUE(Ini().SaveWith(counting));
    const std::wstring saved = test::ReadIni(folders_.ProgramIni());
    ASSERT_GT(counting.Writes(), 20);

    for (int failing = 1; failing <= counting.Writes(); ++failing) {
        SCOPED_TRACE(failing);
        test::WriteFileBytes(folders_.ProgramIni(), before);
        test::FaultyFile full;
        full.FailWritesFrom(failing);
        EXPECT_FALSE(Ini().SaveWith(full));
        EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), before);
        EXPECT_FALSE(TemporaryFileLeft());
    }
    test::PrintFaultCases(counting.Writes());
    EXPECT_TRUE(Settings().SaveSettingsFile()) << "the settings in memory are kept for a later save";
    EXPECT_EQ(test::ReadIni(folders_.ProgramIni()), saved);
}

// A program that has the file open without letting it be deleted keeps it from being replaced.
TEST_F(IniFault, AFileHeldByAnotherProgramIsLeftAsItWas)
{
    const std::string before = LoadAndChange(L"HKCU\\A=\"old\"\r\n");
    {
        const DWORD noDeletion = FILE_SHARE_READ | FILE_SHARE_WRITE;
        FileHandle held(CreateFileW(folders_.ProgramIni().c_str(), GENERIC_READ, noDeletion, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.valid());
        EXPECT_FALSE(Settings().SaveSettingsFile());
        EXPECT_FALSE(TemporaryFileLeft());
    }
    EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), before);
}

// Sorting needs memory before anything is written: the old file stays, and the failure
// reaches the caller (the program then ends with OutOfMemory).
TEST_F(IniFault, MemoryRunningOutWhileSavingWritesNothing)
{
    const std::string before = LoadAndChange(L"HKCU\\A=\"old\"\r\n");
    {
        test::MemoryRunsOut memory(0);
        EXPECT_THROW(Settings().SaveSettingsFile(), TVX_EXIT);
        EXPECT_EQ(Errors().RecordedCode(), OutOfMemory);
    }
    EXPECT_EQ(test::ReadFileBytes(folders_.ProgramIni()), before);
    EXPECT_FALSE(TemporaryFileLeft());
}

}  // namespace
}  // namespace tvx
