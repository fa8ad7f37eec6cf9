// The built uninstall.exe run in staged product folders: its message boxes are answered from
// here, and what it leaves behind (files, registry, shortcuts, restart entries) is checked
// after its self-removal script has run.
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <string>
#include <vector>
#include "common/handles.h"
#include "integration/apply_options.h"
#include "integration/integration_options.h"
#include "integration/shortcuts.h"
#include "support/scratch.h"
#include "uninstall/remove_integration.h"
#include "uninstall/run_options.h"
#include "uninstall_fixtures.h"
#include "window_driver.h"

namespace tvx::test {
namespace {

constexpr DWORD kTimeoutMs = 60000;
const wchar_t kCaption[] = L"Uninstall Talvex";
const wchar_t kRebootText[] =
    L"Some files are in use. They will be deleted when you restart Windows.";
const wchar_t kUninstallEntry[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";
const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";

std::wstring TempScript()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"Uninstall_Tvx.Bat";
}

bool WaitUntil(DWORD timeoutMs, bool (*condition)(const std::wstring&), const std::wstring& path)
{
    for (ULONGLONG end = GetTickCount64() + timeoutMs; !condition(path); Sleep(100)) {
        if (GetTickCount64() >= end) return false;
    }
    return true;
}

bool Missing(const std::wstring& path)
{
    return !PathExists(path);
}

std::wstring DefaultValue(HKEY hive, const std::wstring& key)
{
    std::wstring text;
    RegReadValue(hive, key, L"", &text);
    return text;
}

// A product folder with the program and its list, and a run of the program in it.
class StagedProduct : public testing::Test {
protected:
    StagedProduct() : folder_(base_ / L"Talvex")
    {
        MakeFolder(folder_);
        CopyFileW((BuildDir() + L"\\uninstall.exe").c_str(), Program().c_str(), FALSE);
        DeleteFileW(TempScript().c_str());
    }

    std::wstring In(const std::wstring& name) const { return folder_ + L"\\" + name; }
    std::wstring Program() const { return In(L"uninstall.exe"); }
    void WriteList(const std::string& lines) { WriteFileBytes(In(L"Uninstall.lst"), lines); }

    // Runs the program, pressing the given buttons in the boxes it shows, in order ("OK"
    // once they run out). The boxes seen are kept in boxes_.
    void Run(const std::wstring& switches, std::vector<std::wstring> answers = {})
    {
        driver::ChildProcess program;
        ASSERT_TRUE(program.Start(driver::QuoteArgument(Program()) + L" " + switches));
        boxes_.clear();
        DWORD exitCode = 99;
        for (ULONGLONG end = GetTickCount64() + kTimeoutMs; !program.WaitForExit(100, exitCode);) {
            ASSERT_LT(GetTickCount64(), end) << "the program did not end";
            driver::DialogSnapshot box;
            if (!driver::WaitForDialog(program.Id(), L"", 0, box)) continue;
            boxes_.push_back(box);
            std::wstring answer = answers.empty() ? L"OK" : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
            ASSERT_TRUE(driver::PressButton(box, answer))
                << "no button " << testing::PrintToString(answer);
            for (int i = 0; i < 100 && IsWindow(box.window); ++i) Sleep(50);
        }
        EXPECT_EQ(exitCode, 0u);
    }

    // The script runs the program once more with /wait, then deletes it and the folder.
    void WaitForScript()
    {
        EXPECT_TRUE(WaitUntil(kTimeoutMs, Missing, TempScript())) << "the script did not end";
    }

    ScratchFolder base_{L"tvx-e2e"};
    std::wstring folder_;
    std::vector<driver::DialogSnapshot> boxes_;
    PendingRenamesGuard pending_;
};

TEST_F(StagedProduct, ConfirmationAnsweredNoChangesNothing)
{
    MakeFile(In(L"a.txt"));
    WriteList("a.txt\r\n");
    RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup", L"ShellExt", 1);
    Run(L"", {L"No"});
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, kCaption);
    EXPECT_EQ(boxes_[0].buttons.size(), 2u);
    EXPECT_TRUE(PathExists(In(L"a.txt")));
    EXPECT_TRUE(PathExists(In(L"Uninstall.lst")));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup"));
    EXPECT_FALSE(PathExists(TempScript()));
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\Talvex");
}

TEST_F(StagedProduct, MissingListIsReportedAndNothingChanges)
{
    MakeFile(In(L"a.txt"));
    RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup", L"ShellExt", 1);
    Run(L"/S");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, kCaption);
    ASSERT_EQ(boxes_[0].texts.size(), 1u);
    EXPECT_NE(boxes_[0].texts[0].find(L"Uninstall.lst"), std::wstring::npos);
    EXPECT_TRUE(PathExists(In(L"a.txt")));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup"));
    EXPECT_FALSE(PathExists(TempScript()));
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\Talvex");
}

// Integration made in this process as setup makes it, for a program in the staged folder.
class IntegratedProduct : public StagedProduct {
protected:
    IntegratedProduct()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetProgramPathForTesting(Program().c_str());
        formerZip_ = DefaultValue(HKEY_CLASSES_ROOT, L".zip");
    }
    ~IntegratedProduct() override
    {
        // Whatever the run left, the prefix goes on without it.
        Options().msi = false;
        RemoveIntegration();
        RegDeleteTree(HKEY_LOCAL_MACHINE, kUninstallEntry);
        SetProgramPathForTesting(nullptr);
        CoUninitialize();
    }

    void Integrate()
    {
        MakeFile(In(L"Talvex.exe"));
        IntegrationOptions options{};
        options.associate[kTvxRow] = options.associate[kZipRow] = 1;
        options.desktop = options.programs = options.shellExt = 1;
        wchar_t group[2048] = L"";
        ASSERT_TRUE(ApplyIntegrationOptions(options, group, 2048));
        group_ = group;
        RegWriteString(HKEY_LOCAL_MACHINE, kUninstallEntry, L"DisplayName", L"Talvex");
        ASSERT_TRUE(IsOwnAssociation(L".tvx"));
        ASSERT_TRUE(IsOwnAssociation(L".zip"));
        ASSERT_TRUE(PathExists(DesktopLink()));
        ASSERT_TRUE(PathExists(group_ + L"\\Talvex.lnk"));
        ASSERT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
        ASSERT_TRUE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup"));
    }

    static std::wstring DesktopLink()
    {
        wchar_t desktop[2048];
        GetSpecialFolder(desktop, 2048, CSIDL_COMMON_DESKTOPDIRECTORY);
        return std::wstring(desktop) + L"\\Talvex.lnk";
    }

    void ExpectIntegrationGone()
    {
        EXPECT_FALSE(IsOwnAssociation(L".tvx"));
        EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, L".zip"), formerZip_)
            << "the former handler is back";
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"Talvex"));
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"Talvex.ZIP"));
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
        EXPECT_FALSE(PathExists(DesktopLink()));
        EXPECT_FALSE(PathExists(group_));
    }

    std::wstring formerZip_;
    std::wstring group_;
};

TEST_F(IntegratedProduct, SilentRunRemovesIntegrationFilesProgramAndFolder)
{
    Integrate();
    MakeFolder(In(L"docs"));
    MakeFolder(In(L"docs\\en"));
    MakeFile(In(L"docs\\en\\help.txt"));
    MakeFile(In(L"docs\\readme.txt"));
    MakeFile(base_ / L"outside.txt");
    // The installer's list names the "New" templates that setup wrote beside the program.
    WriteList(
        "docs\r\ndocs\\en\r\ndocs\\en\\help.txt\r\ndocs\\readme.txt\r\nTalvex.exe\r\n"
        "tvxnew.dat\r\nzipnew.dat\r\n..\\outside.txt\r\nuninstall.exe\r\nUninstall.lst\r\n");
    Run(L"/S");
    EXPECT_TRUE(boxes_.empty());
    ExpectIntegrationGone();
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths, KEY_WOW64_64KEY));
    EXPECT_FALSE(PathExists(In(L"docs")));
    EXPECT_FALSE(PathExists(In(L"Uninstall.lst")));
    WaitForScript();
    EXPECT_FALSE(PathExists(Program()));
    EXPECT_FALSE(PathExists(folder_));
    EXPECT_TRUE(PathExists(base_ / L"outside.txt"));
}

TEST_F(IntegratedProduct, MsiRunRemovesIntegrationOnly)
{
    Integrate();
    MakeFile(In(L"a.txt"));
    for (bool withList : {true, false}) {
        if (withList)
            WriteList("a.txt\r\nuninstall.exe\r\n");
        else
            DeleteFileW(In(L"Uninstall.lst").c_str());
        Run(L"/msi /S");
        EXPECT_TRUE(boxes_.empty()) << "with list: " << withList;
        ExpectIntegrationGone();
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry)) << "the package owns it";
        EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kAppPaths)) << "the package owns it";
        EXPECT_TRUE(PathExists(In(L"a.txt")));
        EXPECT_TRUE(PathExists(Program()));
        EXPECT_FALSE(PathExists(TempScript()));
    }
    RegDeleteTree(HKEY_LOCAL_MACHINE, kAppPaths);
    RegDeleteTree(HKEY_LOCAL_MACHINE, kAppPaths, KEY_WOW64_64KEY);
}

std::wstring ReadUtf16File(const std::wstring& path)
{
    std::string bytes = ReadFileBytes(path);
    if (bytes.size() < 2) return L"";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

TEST_F(StagedProduct, IniModeLeavesNoSettingsFileBehind)
{
    WriteFileBytes(In(L"Talvex.ini"), "HKCU\\Setup\\Links\\Desktop=1\r\nGlobal\\Integration=1\r\n");
    MakeFile(In(L"a.txt"));
    WriteList("a.txt\r\nTalvex.ini\r\nuninstall.exe\r\n");
    Run(L"/S");
    EXPECT_FALSE(PathExists(In(L"Talvex.ini")));
    WaitForScript();
    EXPECT_FALSE(PathExists(In(L"Talvex.ini")));
    EXPECT_FALSE(PathExists(folder_));
}

TEST_F(StagedProduct, IniModeUnderAPackageSavesTheFileWithoutTheRemovedSettings)
{
    WriteFileBytes(In(L"Talvex.ini"), "HKCU\\Setup\\Links\\Desktop=1\r\nGlobal\\Integration=0\r\n");
    WriteList("Talvex.ini\r\n");
    Run(L"/msi /S");
    std::wstring saved = ReadUtf16File(In(L"Talvex.ini"));
    EXPECT_EQ(saved.find(L"HKCU\\"), std::wstring::npos) << testing::PrintToString(saved);
    EXPECT_NE(saved.find(L"Global\\Integration=0"), std::wstring::npos)
        << testing::PrintToString(saved);
}

// Files in use: a library that this process has loaded and a file it holds open.
class InUseProduct : public StagedProduct {
protected:
    InUseProduct()
    {
        library_ = LoadCopyOfThisProgram(In(L"x.dll"));
        held_ = MakeHeldFile(In(L"held.txt"));
        WriteList("x.dll\r\nheld.txt\r\nuninstall.exe\r\nUninstall.lst\r\n");
    }

    void ExpectFilesScheduled()
    {
        EXPECT_FALSE(PathExists(In(L"x.dll")));
        EXPECT_TRUE(IsPendingDeletion(In(L"x.dll.0.tmp")));
        EXPECT_TRUE(IsPendingDeletion(In(L"held.txt")));
        WaitForScript();
        EXPECT_FALSE(PathExists(Program()));
        EXPECT_TRUE(PathExists(folder_)) << "the files in use keep their folder";
    }

    ModuleHandle library_;
    FileHandle held_;
};

TEST_F(InUseProduct, RenamedScheduledAndToldOnce)
{
    ASSERT_TRUE(library_.valid());
    Run(L"", {L"Yes", L"OK"});
    ASSERT_EQ(boxes_.size(), 2u) << "the confirmation and one restart notice";
    ASSERT_EQ(boxes_[1].texts.size(), 1u);
    EXPECT_EQ(boxes_[1].texts[0], kRebootText);
    ExpectFilesScheduled();
    EXPECT_TRUE(IsPendingDeletion(folder_)) << "a folder named Talvex goes at restart too";
}

TEST_F(InUseProduct, SilentRunTellsNothingAndLeavesTheFolderUnscheduled)
{
    Run(L"/S");
    EXPECT_TRUE(boxes_.empty());
    ExpectFilesScheduled();
    EXPECT_FALSE(IsPendingDeletion(folder_));
}

TEST_F(StagedProduct, NoScriptMeansTheUserIsToldAndTheProgramStays)
{
    WriteList("uninstall.exe\r\n");
    wchar_t temp[MAX_PATH] = L"";
    bool hadTemp = GetEnvironmentVariableW(L"TMP", temp, MAX_PATH) != 0;
    SetEnvironmentVariableW(L"TMP", (base_ / L"missing").c_str());
    Run(L"", {L"Yes", L"OK"});
    SetEnvironmentVariableW(L"TMP", hadTemp ? temp : nullptr);
    ASSERT_EQ(boxes_.size(), 2u);
    ASSERT_EQ(boxes_[1].texts.size(), 1u);
    EXPECT_NE(boxes_[1].texts[0].find(Program()), std::wstring::npos);
    EXPECT_TRUE(PathExists(Program()));
}

}  // namespace
}  // namespace tvx::test
