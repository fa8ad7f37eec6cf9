// Memory running out during a whole uninstall run of the program, with a language file and
// in INI mode: the test variant uninstall_oom fails every allocation from a chosen one on.
// Wherever that is, the run either goes on with what it has or ends with the OutOfMemory
// code, and leaves nothing half-written: Talvex.ini is the old file or a whole new one, no
// temporary file, no script but a whole one, nothing deleted before the settings were saved.
#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"
#include "common/handles.h"
#include "support/fault.h"
#include "support/scratch.h"
#include "uninstall_fixtures.h"

namespace tvx::test {
namespace {

constexpr DWORD kTimeoutMs = 60000;
const char kIniLines[] =
    "HKCU\\Setup\\ShellExt=1\r\nHKCU\\Setup\\Links\\Desktop=1\r\nHKCU\\General\\Name=\"some value\"\r\n"
    "HKLM\\exe32=\"C:\\Talvex\\Talvex.exe\"\r\nGlobal\\Integration=0\r\n";

// Read at start-up, before anything else needs memory.
const char kLanguageFile[] =
    "***messages***\r\nIDS_UNINSTALLTVX Talvex poistetaan\r\nIDS_REBOOTREQUIRED Uudelleenk\xe4ynnistys\r\n";

// The environment variables the run inherits, put back afterwards.
class Environment {
public:
    Environment(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        wchar_t old[MAX_PATH];
        DWORD length = GetEnvironmentVariableW(name, old, MAX_PATH);
        had_ = length > 0 && length < MAX_PATH;
        if (had_) old_ = old;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~Environment() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    const wchar_t* name_;
    bool had_ = false;
    std::wstring old_;
};

class MemoryFaultRun : public testing::Test {
protected:
    // A fresh product folder with the variant as its program; the run's exit code.
    DWORD Run(int allocationsBeforeFailure)
    {
        DeleteTree(folder_);
        MakeFolder(folder_);
        const std::wstring variant = BuildDir() + L"\\tests\\uninstall_oom.exe";
        EXPECT_TRUE(CopyFileW(variant.c_str(), Program().c_str(), FALSE));
        WriteFileBytes(In(L"Talvex.ini"), kIniLines);
        WriteFileBytes(In(L"uninstall.lng"), kLanguageFile);
        MakeFile(In(L"a.txt"));
        WriteFileBytes(In(L"Uninstall.lst"), "a.txt\r\nuninstall.lng\r\n");
        Environment failure(L"TVX_FAIL_ALLOCATION_AFTER", std::to_wstring(allocationsBeforeFailure));
        Environment temp(L"TMP", base_.Path());
        // The script's commands echo to the standard output the program passes on.
        FileHandle nul(
            CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, nul.get());
        SetStdHandle(STD_ERROR_HANDLE, nul.get());
        DWORD exitCode = 99;
        EXPECT_TRUE(RunAndWait(L"\"" + Program() + L"\" /S", kTimeoutMs, &exitCode));
        SetStdHandle(STD_OUTPUT_HANDLE, output);
        SetStdHandle(STD_ERROR_HANDLE, error);
        return exitCode;
    }

    std::wstring In(const std::wstring& name) const { return folder_ + L"\\" + name; }
    std::wstring Program() const { return In(L"uninstall.exe"); }
    std::wstring Script() const { return base_ / L"Uninstall_Tvx.Bat"; }

    bool WaitForScript() const
    {
        for (int i = 0; i < 300 && PathExists(Script()); ++i) Sleep(100);
        return !PathExists(Script());
    }

    ScratchFolder base_{L"tvx-memory-fault"};
    std::wstring folder_ = base_ / L"Talvex";
};

TEST_F(MemoryFaultRun, EndsWithOutOfMemoryOrGoesOnAndLeavesNothingHalfWritten)
{
    // The run's allocations in a sample that thins out towards its end, where the save is.
    bool outOfMemorySeen = false;
    int runs = 0;
    for (int after = 0;; after = after < 2 ? after + 1 : after * 2) {
        ++runs;
        SCOPED_TRACE(after);
        ASSERT_LT(after, 400) << "the run never completed";
        DWORD exitCode = Run(after);
        ASSERT_TRUE(exitCode == 0 || exitCode == OutOfMemory) << exitCode;
        EXPECT_FALSE(PathExists(In(L"Talvex.ini.tmp")));
        const std::string ini = ReadFileBytes(In(L"Talvex.ini"));
        if (exitCode == OutOfMemory) {
            outOfMemorySeen = true;
            EXPECT_EQ(ini, kIniLines) << "the settings file as it was";
            EXPECT_TRUE(PathExists(In(L"a.txt"))) << "no file deleted before the settings were saved";
            EXPECT_TRUE(PathExists(In(L"uninstall.lng")));
            EXPECT_TRUE(PathExists(In(L"Uninstall.lst")));
            EXPECT_TRUE(PathExists(Program()));
            EXPECT_FALSE(PathExists(Script()));
            continue;
        }
        EXPECT_FALSE(PathExists(In(L"a.txt")));
        EXPECT_FALSE(PathExists(In(L"uninstall.lng")));
        EXPECT_TRUE(WaitForScript()) << "a whole script, which ends by deleting itself";
        if (ini == kIniLines) continue;  // a load cut short is never written back
        // The saved file: the flags, and none of the settings the run took out.
        ASSERT_GE(ini.size(), 2u);
        std::wstring text(reinterpret_cast<const wchar_t*>(ini.data() + 2), (ini.size() - 2) / 2);
        EXPECT_EQ(text, L"Global\\AppData=1\r\nGlobal\\Integration=0\r\nGlobal\\SaveSettings=1\r\n");
        break;
    }
    PrintFaultCases(runs);
    EXPECT_TRUE(outOfMemorySeen);
}

}  // namespace
}  // namespace tvx::test
