#include <gtest/gtest.h>
#include <shlobj.h>
#include <cstdlib>
#include <string>
#include "dialog_driver.h"
#include "resources/resource.h"
#include "support/scratch.h"
#include "window_driver.h"

namespace tvx {
namespace {

// Generous: a Wine process start is slow under emulation.
constexpr DWORD kTimeoutMs = 90000;
const wchar_t kSetupKey[] = L"Software\\Talvex\\Setup";
const wchar_t kLinksKey[] = L"Software\\Talvex\\Setup\\Links";
const wchar_t kEntryKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";

// These runs change the prefix for real; run_in_fresh_prefix gives them one of their own.
class SetupEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::getenv("TVX_FRESH_PREFIX") == nullptr)
            GTEST_SKIP() << "runs only in a fresh prefix (ctest dialogs_setup_end_to_end)";
        // Every run starts from a system where setup has never been.
        test::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\Talvex");
        test::RegDeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Talvex");
        test::RegDeleteTree(HKEY_LOCAL_MACHINE, kEntryKey);
    }
};

std::wstring Program()
{
    return test::BuildDir() + L"\\uninstall.exe";
}

bool Start(driver::ChildProcess& program, const wchar_t* switches)
{
    return program.Start(driver::QuoteArgument(Program()) + L" " + switches);
}

// The next dialog of the program that holds the control (dialogs share their caption).
HWND WaitForDialogWith(const driver::ChildProcess& program, int control)
{
    const ULONGLONG end = GetTickCount64() + kTimeoutMs;
    while (GetTickCount64() < end) {
        driver::DialogSnapshot dialog;
        if (driver::WaitForDialog(program.Id(), L"", 1000, dialog) &&
            GetDlgItem(dialog.window, control) != nullptr) {
            return dialog.window;
        }
        Sleep(200);
    }
    return nullptr;
}

DWORD Stored(const wchar_t* key, const wchar_t* value)
{
    return test::StoredNumber(HKEY_CURRENT_USER, key, value);
}

DWORD StoredType(const wchar_t* extension)
{
    return Stored((std::wstring(kSetupKey) + L"\\" + extension).c_str(), L"Set");
}

std::wstring Handler(const wchar_t* extension)
{
    std::wstring text;
    test::RegReadValue(HKEY_CLASSES_ROOT, extension, L"", &text);
    return text;
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// After the completion dialog the program notes that this is the 32-bit edition on 64-bit
// Windows (the test prefix is 64-bit); a person presses OK.
void AnswerTheClosingMessages(driver::ChildProcess& program)
{
    HWND done = WaitForDialogWith(program, IDC_VIEWHELP);
    ASSERT_NE(done, nullptr);
    PostMessageW(done, WM_COMMAND, IDOK, 0);
    driver::DialogSnapshot note;
    ASSERT_TRUE(driver::WaitForDialog(program.Id(), L"Talvex setup", kTimeoutMs, note));
    if (GetDlgItem(note.window, IDC_VIEWHELP) != nullptr) {  // still the closing dialog
        Sleep(1000);
        ASSERT_TRUE(driver::WaitForDialog(program.Id(), L"Talvex setup", kTimeoutMs, note));
    }
    ASSERT_FALSE(note.texts.empty());
    EXPECT_NE(note.texts[0].find(L"32-bit edition"), std::wstring::npos) << note.texts[0];
    EXPECT_TRUE(driver::PressButton(note, L"OK"));
}

TEST_F(SetupEndToEnd, OkAppliesExactlyTheClickedChoices)
{
    test::RegWriteString(HKEY_CLASSES_ROOT, L".ace", L"", L"Talvex");  // from an old version
    driver::ChildProcess program;
    ASSERT_TRUE(Start(program, L"/setup /noexplorer"));
    HWND dialog = WaitForDialogWith(program, IDC_ASSOCALL);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(test::IsChecked(dialog, IDC_ASSOCZIP));
    ASSERT_FALSE(test::IsChecked(dialog, IDC_LINKDESKTOP));
    test::Click(dialog, IDC_ASSOCZIP);
    test::Click(dialog, IDC_ASSOC7Z);
    test::Click(dialog, IDC_LINKDESKTOP);
    test::Click(dialog, IDC_LINKPROGRAMS);
    test::Click(dialog, IDC_SHELLEXT);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SHELLICONS)));
    EXPECT_TRUE(test::IsChecked(dialog, IDC_SHELLICONS));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    AnswerTheClosingMessages(program);
    DWORD exitCode = 99;
    ASSERT_TRUE(program.WaitForExit(kTimeoutMs, exitCode));
    EXPECT_EQ(exitCode, 0u);

    EXPECT_EQ(StoredType(L".tvx"), 1u);
    EXPECT_EQ(StoredType(L".zip"), 0u);
    EXPECT_EQ(StoredType(L".7z"), 0u);
    EXPECT_EQ(StoredType(L".cab"), 1u);
    EXPECT_EQ(Stored(kLinksKey, L"Desktop"), 1u);
    EXPECT_EQ(Stored(kLinksKey, L"StartMenu"), 0u);
    EXPECT_EQ(Stored(kLinksKey, L"Programs"), 0u);
    EXPECT_EQ(Stored(kSetupKey, L"ShellExt"), 0u);
    EXPECT_EQ(Stored(kSetupKey, L"CascadedMenu"), 0u);
    EXPECT_EQ(Stored(kSetupKey, L"MenuIcons"), 1u);  // greyed, and still saved

    EXPECT_EQ(Handler(L".tvx"), L"Talvex");
    EXPECT_EQ(Handler(L".cab"), L"Talvex");
    EXPECT_NE(Handler(L".zip"), L"Talvex.ZIP");
    EXPECT_NE(Handler(L".7z"), L"Talvex");
    EXPECT_NE(Handler(L".ace"), L"Talvex");
    EXPECT_TRUE(Exists(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Talvex"));
    std::wstring name;
    test::RegReadValue(HKEY_LOCAL_MACHINE, kEntryKey, L"DisplayName", &name);
    EXPECT_EQ(name, L"Talvex 6.02 (32-bit)");
}

TEST_F(SetupEndToEnd, CancelExitsWithOneAndChangesNothing)
{
    const std::wstring zipBefore = Handler(L".zip");
    const std::wstring desktopLink = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk";
    const bool linkBefore = Exists(desktopLink);
    driver::ChildProcess program;
    ASSERT_TRUE(Start(program, L"/setup /noexplorer"));
    HWND dialog = WaitForDialogWith(program, IDC_ASSOCALL);
    ASSERT_NE(dialog, nullptr);
    test::Click(dialog, IDC_ASSOCALL);
    test::Click(dialog, IDC_LINKDESKTOP);
    test::Click(dialog, IDC_LINKSTARTMENU);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    ASSERT_TRUE(program.WaitForExit(kTimeoutMs, exitCode));  // no completion dialog waits
    EXPECT_EQ(exitCode, 1u);
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
    EXPECT_EQ(Handler(L".zip"), zipBefore);
    EXPECT_EQ(Exists(desktopLink), linkBefore);
    EXPECT_FALSE(Exists(ShellFolder(CSIDL_COMMON_STARTMENU) + L"\\Talvex.lnk"));
}

TEST_F(SetupEndToEnd, SilentSetupAppliesStoredChoicesOverlaidWithTheInitText)
{
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.cab", L"Set", 1);
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.arj", L"Set", 0);
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.gz", L"Set", 0);
    test::RegWriteNumber(HKEY_CURRENT_USER, kLinksKey, L"Desktop", 0);
    test::RegWriteNumber(HKEY_CURRENT_USER, kSetupKey, L"ShellExt", 1);
    driver::ChildProcess program;
    ASSERT_TRUE(Start(program, L"/setup /S /initA1101D1s0"));
    DWORD exitCode = 99;
    ASSERT_TRUE(program.WaitForExit(kTimeoutMs, exitCode));  // nobody presses anything
    EXPECT_EQ(exitCode, 0u);

    EXPECT_EQ(StoredType(L".tvx"), 1u);
    EXPECT_EQ(StoredType(L".zip"), 1u);
    EXPECT_EQ(StoredType(L".cab"), 0u);
    EXPECT_EQ(StoredType(L".arj"), 1u);
    EXPECT_EQ(StoredType(L".gz"), 0u);   // stored, not in the init text
    EXPECT_EQ(StoredType(L".tar"), 1u);  // the default
    EXPECT_EQ(Stored(kLinksKey, L"Desktop"), 1u);
    EXPECT_EQ(Stored(kLinksKey, L"Programs"), 1u);
    EXPECT_EQ(Stored(kSetupKey, L"ShellExt"), 0u);
    EXPECT_EQ(Handler(L".arj"), L"Talvex");
    EXPECT_NE(Handler(L".cab"), L"Talvex");
    EXPECT_NE(Handler(L".gz"), L"Talvex");
    EXPECT_TRUE(Exists(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Talvex.lnk"));
    EXPECT_TRUE(test::RegKeyExists(HKEY_LOCAL_MACHINE, kEntryKey));
}

}  // namespace
}  // namespace tvx
