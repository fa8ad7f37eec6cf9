#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/paths.h"
#include "dialog_driver.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/help_viewer.h"
#include "resources/resource.h"
#include "support/scratch.h"
#include "uninstall/run_options.h"

namespace tvx {
namespace {

const wchar_t kEntryKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";

std::wstring ProgramPath()
{
    wchar_t path[2048];
    GetProgramPath(path, 2048);
    return path;
}

std::wstring ProgramFolder()
{
    const std::wstring path = ProgramPath();
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring EntryText(const wchar_t* value)
{
    std::wstring text = L"<absent>";
    test::RegReadValue(HKEY_LOCAL_MACHINE, kEntryKey, value, &text);
    return text;
}

DWORD EntryNumber(const wchar_t* value)
{
    return test::StoredNumber(HKEY_LOCAL_MACHINE, kEntryKey, value);
}

TEST(UninstallEntry, RegistersTheProductWithEveryValue)
{
    test::RegistrySandbox sandbox;
    WriteUninstallEntry();
    EXPECT_EQ(EntryText(L"DisplayName"), L"Talvex 6.02 (32-bit)");
    EXPECT_EQ(EntryText(L"DisplayVersion"), L"6.02.0");
    EXPECT_EQ(EntryNumber(L"VersionMajor"), 6u);
    EXPECT_EQ(EntryNumber(L"VersionMinor"), 2u);
    EXPECT_EQ(EntryText(L"UninstallString"), ProgramPath());
    EXPECT_EQ(EntryText(L"DisplayIcon"), ProgramFolder() + L"Talvex.exe");
    EXPECT_EQ(EntryText(L"InstallLocation"), ProgramFolder());
    EXPECT_EQ(EntryNumber(L"NoModify"), 1u);
    EXPECT_EQ(EntryNumber(L"NoRepair"), 1u);
    EXPECT_EQ(EntryNumber(L"Language"), 0u);
    EXPECT_EQ(EntryText(L"Publisher"), L"Halvorn Software");
}

TEST(UninstallEntry, SecondRunKeepsAnExistingIconAndReplacesAMissingOne)
{
    test::RegistrySandbox sandbox;
    test::ScratchFolder folder(L"tvx-entry-icon");
    const std::wstring icon = folder / L"custom.ico";
    test::WriteFileBytes(icon, "icon");
    test::RegWriteString(HKEY_LOCAL_MACHINE, kEntryKey, L"DisplayIcon", icon);
    WriteUninstallEntry();
    WriteUninstallEntry();
    EXPECT_EQ(EntryText(L"DisplayIcon"), icon);

    test::RegWriteString(HKEY_LOCAL_MACHINE, kEntryKey, L"DisplayIcon", folder / L"gone.ico");
    WriteUninstallEntry();
    EXPECT_EQ(EntryText(L"DisplayIcon"), ProgramFolder() + L"Talvex.exe");
}

// What the buttons would have opened, caught at the shell-open seam.
struct OpenCall {
    std::wstring verb, file, directory;
    bool hasParameters;
    INT show;
};
std::vector<OpenCall> opened;
HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                            LPCWSTR directory, INT show)
{
    opened.push_back({verb, file, directory ? directory : L"<null>", parameters != nullptr, show});
    return reinterpret_cast<HINSTANCE>(42);
}

std::vector<std::wstring> helpTargets;
HWND WINAPI RecordHelp(HWND, LPCWSTR target, UINT, DWORD_PTR)
{
    helpTargets.push_back(target);
    return nullptr;
}

class CompletionDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        opened.clear();
        helpTargets.clear();
        SetShellExecuteForTesting(RecordOpen);
        ResetHelpViewerForTesting();
        SetHtmlHelpForTesting(RecordHelp);
        Options().silent = false;
        GetCurrentDirectoryW(2048, previousDirectory);
        SetCurrentDirectoryW(installFolder.Path().c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(previousDirectory);
        SetShellExecuteForTesting(nullptr);
        SetHtmlHelpForTesting(nullptr);
        ResetHelpViewerForTesting();
        Options().silent = false;
    }

    test::RegistrySandbox sandbox;
    test::ScratchFolder installFolder{L"tvx-installed"};
    wchar_t previousDirectory[2048] = L"";
};

TEST_F(CompletionDialog, ButtonsOpenLicenceHomePageAndHelpWithoutOpeningAnything)
{
    const INT_PTR result = test::RunDialog(IDD_DONEDLG, CompletionDialogProc, [this](HWND dialog) {
        EXPECT_EQ(test::ControlText(dialog, IDC_INSTFOLDERPATH), installFolder.Path());
        test::Click(dialog, IDC_VIEWLICENSE);
        test::Click(dialog, IDC_HOMEPAGE);
        test::Click(dialog, IDC_VIEWHELP);
        SendMessageW(dialog, WM_HELP, 0, 0);  // no topic: F1 does nothing here
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, 1);  // even the close box ends it with 1
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].verb, L"open");
    EXPECT_EQ(opened[0].file, installFolder / L"license.txt");
    EXPECT_EQ(opened[0].directory, L"");
    EXPECT_FALSE(opened[0].hasParameters);
    EXPECT_EQ(opened[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(opened[1].file, L"https://www.talvex.example/");
    ASSERT_EQ(helpTargets.size(), 1u);
    EXPECT_EQ(helpTargets[0], ProgramFolder() + L"talvex.chm");
}

TEST_F(CompletionDialog, LicenceInTheLanguageFolderWins)
{
    test::ScratchFolder language(L"tvx-licence-language");
    test::WriteFileBytes(language / L"license.txt", "licence");
    test::RegWriteString(HKEY_CURRENT_USER, L"Software\\Talvex\\General", L"LanguageFolder",
                         language.Path());
    test::RunDialog(IDD_DONEDLG, CompletionDialogProc, [](HWND dialog) {
        test::Click(dialog, IDC_VIEWLICENSE);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].file, language / L"license.txt");
}

TEST_F(CompletionDialog, SilentRunClosesByItself)
{
    Options().silent = true;
    bool shown = false;
    const INT_PTR result = test::RunDialog(IDD_DONEDLG, CompletionDialogProc,
                                           [&shown](HWND) { shown = true; });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(shown);
}

}  // namespace
}  // namespace tvx
