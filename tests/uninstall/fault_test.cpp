// The uninstall run under faults that Wine cannot produce on demand: a user without rights
// on the machine's registry, and the disk filling up while the self-removal script is
// written. Each case checks what the user is left with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <objbase.h>
#include "settings/settings_store.h"
#include "support/fault.h"
#include "support/scratch.h"
#include "uninstall/remove_integration.h"
#include "uninstall/removal_script.h"
#include "uninstall/run_options.h"
#include "uninstall/uninstall_run.h"
#include "uninstall_fixtures.h"

namespace tvx::test {
namespace {

struct ScriptFileSeam {
    explicit ScriptFileSeam(FileObject& file) { SetScriptFileForTesting(&file); }
    ~ScriptFileSeam() { SetScriptFileForTesting(nullptr); }
};

std::vector<std::wstring> boxesShown;

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    boxesShown.push_back(text);
    return IDOK;
}

struct MessageBoxSeam {
    MessageBoxSeam()
    {
        boxesShown.clear();
        SetMessageBoxForTesting(RecordBox);
    }
    ~MessageBoxSeam() { SetMessageBoxForTesting(nullptr); }
};

std::wstring CurrentFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

class ScriptFault : public testing::Test {
protected:
    ScriptFault()
    {
        MakeFolder(folder_);
        MakeFile(program_);
    }

    std::wstring TempScript() const
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        return std::wstring(temp) + kScriptName;
    }

    ScratchFolder base_{L"tvx-script-fault"};
    std::wstring folder_ = base_ / L"Talvex";
    std::wstring program_ = folder_ + L"\\uninstall.exe";
    std::wstring script_ = base_ / kScriptName;
};

TEST_F(ScriptFault, AFullDiskAtAnyWriteLeavesNoScript)
{
    int cases = 0;
    for (bool silent : {false, true}) {
        FaultyFile counting;
        {
            ScriptFileSeam seam(counting);
            ASSERT_TRUE(WriteRemovalScript(script_.c_str(), program_.c_str(), folder_.c_str(), silent));
        }
        ASSERT_TRUE(PathExists(script_));
        for (int failing = 1; failing <= counting.Writes(); ++failing) {
            SCOPED_TRACE(testing::Message() << "silent " << silent << ", write " << failing);
            FaultyFile full;
            full.FailWritesFrom(failing);
            ScriptFileSeam seam(full);
            EXPECT_FALSE(WriteRemovalScript(script_.c_str(), program_.c_str(), folder_.c_str(), silent));
            EXPECT_FALSE(PathExists(script_)) << "neither the partial script nor the old one";
            ++cases;
        }
    }
    PrintFaultCases(cases);
}

// The end of the run: with no script, nothing can remove the program, so it and its folder
// stay, the run stays in the product folder, and the user is told (not in a silent run).
TEST_F(ScriptFault, AFullDiskAtTheEndOfTheRunLeavesTheProgramAndTellsTheUser)
{
    RunTexts texts{L"Reboot", L"Caption", L"Delete the program by hand"};
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        DeleteFileW(TempScript().c_str());
        ASSERT_TRUE(SetCurrentDirectoryW(folder_.c_str()));
        FaultyFile full;
        full.FailWritesFrom(3);
        MessageBoxSeam boxes;
        {
            ScriptFileSeam seam(full);
            RemoveProgramAndFolder(program_.c_str(), folder_.c_str(), silent, texts);
        }
        EXPECT_FALSE(PathExists(TempScript()));
        EXPECT_EQ(CurrentFolder(), folder_) << "nothing was started from the parent folder";
        EXPECT_TRUE(PathExists(program_));
        const std::vector<std::wstring> told{texts.cannotDelete};
        EXPECT_EQ(boxesShown, silent ? std::vector<std::wstring>{} : told);
    }
    SetCurrentDirectoryW(base_.Path().c_str());
}

const wchar_t kUninstallEntry[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";
const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";
const wchar_t kRegisteredApplications[] = L"Software\\RegisteredApplications";
const wchar_t kCapabilities[] = L"Software\\Talvex\\Capabilities";

std::wstring Text(HKEY hive, const std::wstring& key, const wchar_t* value = L"")
{
    std::wstring text = L"<none>";
    RegReadValue(hive, key, value, &text);
    return text;
}

// What setup left on a machine where another program had .zip before: the extensions and
// file types, the saved former handlers and choices, the machine-wide entries.
class DeniedUninstall : public testing::Test {
protected:
    DeniedUninstall()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (const wchar_t* type : {L"Talvex", L"Talvex.ZIP", L"Talvex.REV"})
            RegWriteString(HKEY_CLASSES_ROOT, std::wstring(type) + L"\\shell\\open\\command", L"", L"x");
        RegWriteString(HKEY_CLASSES_ROOT, L".rev", L"", L"Talvex.REV");
        RegWriteString(HKEY_CLASSES_ROOT, L".zip", L"", L"Talvex.ZIP");
        RegWriteString(HKEY_CLASSES_ROOT, L".tvx", L"", L"Talvex");
        RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.zip", L"Exist", 1);
        RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.zip", L"Type", L"OtherZip");
        RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.tvx", L"Exist", 0);
        RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup", L"ShellExt", 1);
        RegWriteString(HKEY_LOCAL_MACHINE, L"Software\\Talvex", L"exe32", L"C:\\T\\Talvex.exe");
        RegWriteString(HKEY_LOCAL_MACHINE, kUninstallEntry, L"DisplayName", L"Talvex");
        RegWriteString(HKEY_LOCAL_MACHINE, kAppPaths, L"", L"C:\\T\\Talvex.exe");
        RegWriteString(HKEY_LOCAL_MACHINE, kRegisteredApplications, L"Talvex", kCapabilities);
    }
    ~DeniedUninstall() override
    {
        DenyRegistryWritesForTesting(nullptr, nullptr);
        CoUninitialize();
    }

    void ExpectMachineEntriesKept()
    {
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, L"Software\\Talvex", L"exe32"), L"C:\\T\\Talvex.exe");
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry)) << "the product is still listed";
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kRegisteredApplications, L"Talvex"), kCapabilities);
    }

    RegistrySandbox sandbox_;
};

// Classes the user may write (the user's own), a machine hive refused: the associations and
// the user's settings go, the refused machine entries stay as they were.
TEST_F(DeniedUninstall, MachineHiveRefusedLeavesOnlyItsOwnEntries)
{
    DenyRegistryWritesForTesting(HKEY_LOCAL_MACHINE, L"");
    RemoveIntegration();
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".zip"), L"OtherZip") << "the former handler is back";
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
    for (const wchar_t* type : {L"Talvex", L"Talvex.ZIP", L"Talvex.REV", L".rev"})
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, type)) << testing::PrintToString(std::wstring(type));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
    ExpectMachineEntriesKept();
}

// The machine's classes refused as well: no extension can be released, so the saved former
// handlers are the only record of what the extensions pointed at before; they must survive
// for a run with the rights, which then gives every extension back.
TEST_F(DeniedUninstall, MachineClassesRefusedKeepTheFormerHandlers)
{
    DenyRegistryWritesForTesting(HKEY_LOCAL_MACHINE, L"");
    DenyRegistryWritesForTesting(HKEY_CLASSES_ROOT, L"");
    RemoveIntegration();
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".zip"), L"Talvex.ZIP");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L"Talvex.ZIP\\shell\\open\\command"), L"x");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.zip", L"Type"), L"OtherZip");
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.tvx"));
    ExpectMachineEntriesKept();

    DenyRegistryWritesForTesting(nullptr, nullptr);
    RemoveIntegration();
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, L".zip"), L"OtherZip");
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L".tvx"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
}

// A program folder that cannot be entered: a list in the current folder is somebody
// else's, so the run must stop there, telling the user as for a missing list.
TEST(ProgramFolderFault, NotEnteredIsReportedAndTheCurrentFolderStays)
{
    ScratchFolder base(L"tvx-enter");
    MakeFolder(base / L"Talvex");
    ASSERT_TRUE(SetCurrentDirectoryW(base.Path().c_str()));
    {
        MessageBoxSeam boxes;
        EXPECT_FALSE(EnterProgramFolder((base / L"missing").c_str(), true));
        ASSERT_EQ(boxesShown.size(), 1u);
        EXPECT_EQ(CurrentFolder(), base.Path());
        EXPECT_FALSE(EnterProgramFolder((base / L"missing").c_str(), false));
        EXPECT_EQ(boxesShown.size(), 1u);
        EXPECT_TRUE(EnterProgramFolder((base / L"Talvex").c_str(), true));
        EXPECT_EQ(CurrentFolder(), base / L"Talvex");
        ASSERT_EQ(boxesShown.size(), 1u);
        EXPECT_FALSE(OpenFileList(true)) << "the folder holds no list";
        ASSERT_EQ(boxesShown.size(), 2u);
        EXPECT_EQ(boxesShown[0], boxesShown[1]);
    }
    SetCurrentDirectoryW(BuildDir().c_str());
}

}  // namespace
}  // namespace tvx::test
