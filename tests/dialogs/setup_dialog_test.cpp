#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "dialog_driver.h"
#include "dialogs/context_items_dialog.h"
#include "dialogs/setup_dialog.h"
#include "language_fixture.h"
#include "resources/resource.h"
#include "support/scratch.h"
#include "uninstall/run_options.h"

namespace tvx {
namespace {

// ApplyInitText over a record whose every byte starts at 7, so untouched bytes show.
struct InitCase {
    const wchar_t* text;
    const char* expected;  // 26 characters: '7' untouched, '1' on, '0' off
};

std::string Bytes(const IntegrationOptions& options)
{
    std::string text;
    for (uint8_t b : options.associate) text += static_cast<char>('0' + b);
    for (uint8_t b : {options.desktop, options.startMenu, options.programs, options.shellExt,
                      options.cascadedMenu, options.menuIcons}) {
        text += static_cast<char>('0' + b);
    }
    return text;
}

TEST(ApplyInitText, OverlaysExactlyTheLettersItFinds)
{
    //                   associate slots 0-19 | D M P S C I
    const InitCase cases[] = {
        {L"", "77777777777777777777777777"},
        {L"A1101D1s0", "11017777777777777777177077"},    // the documented example
        {L"a1101d1S0", "11017777777777777777177077"},    // letters in any case
        {L"A1111111111111111111111111", "11111111111111111111777777"},  // 21st digit: letter
        {L"A12x0", "10777777777777777777777777"},        // any digit but 1 is off
        {L"AD1", "77777777777777777777177777"},          // an empty run, then D
        {L"C1I0M1P0", "77777777777777777777710710"},
        {L"S", "77777777777777777777777777"},            // a letter without its character
        {L"Q1D1", "77777777777777777777177777"},         // unknown letter skipped with its digit
        {L"D1A", "77777777777777777777177777"},          // A at the end: parsing stops
        {L"P1A0", "07777777777777777777771777"},
    };
    for (const InitCase& row : cases) {
        IntegrationOptions options;
        std::memset(&options, 7, sizeof options);
        ApplyInitText(row.text, options);
        EXPECT_EQ(Bytes(options), row.expected) << row.text;
    }
}

TEST(SetupExplanation, JoinsTheSixStringsAndNeverOverrunsItsBuffer)
{
    wchar_t text[4096];
    {
        test::LoadedLanguage language(L"IDS_INSTHELP1 One.\r\nIDS_INSTHELP2 Two.\r\n"
                                      L"IDS_INSTHELP3 Three.\r\nIDS_INSTHELP4 Four.\r\n"
                                      L"IDS_INSTHELP5 Five.\r\nIDS_INSTHELP6 Six.\r\n");
        BuildSetupExplanation(text, 4096);
        EXPECT_STREQ(text, L"    One. Two. Three. Four. Five.\r\n    Six.");
    }
    // Six translations of 1000 characters each: far more than the buffer holds.
    std::wstring lines;
    for (int i = 1; i <= 6; ++i) {
        lines += L"IDS_INSTHELP" + std::to_wstring(i) + L" " + std::wstring(999, L'a') +
                 L"\u05d0\r\n";
    }
    test::LoadedLanguage language(lines);
    wchar_t guarded[4096 + 8];
    std::wmemset(guarded, L'#', 4096 + 8);
    BuildSetupExplanation(guarded, 4096);
    EXPECT_EQ(std::wcslen(guarded), 4095u);
    EXPECT_EQ(guarded[4096], L'#');
    // A pair cut in the middle would leave half a character at the end.
    wchar_t pairs[16];
    test::LoadedLanguage surrogates(L"IDS_INSTHELP1 \U0001F600\U0001F600\U0001F600\r\n");
    BuildSetupExplanation(pairs, 8);  // "    " + one pair + half of the next
    EXPECT_STREQ(pairs, L"    \U0001F600");
}

// The settings dialog itself, in a sandbox: nothing here presses OK, which would apply.
class SetupDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::LoadRichEdit();
        Options().exitCode = 0;
        Options().silent = false;
        Options().initText[0] = L'\0';
    }
    void TearDown() override { Options().exitCode = 0; }

    test::RegistrySandbox sandbox;
};

constexpr int kTypeBoxes = 17;

TEST_F(SetupDialog, CancelEndsWithZeroExitCodeOneAndWritesNothing)
{
    const INT_PTR result = test::RunDialog(IDD_SETUPDLG, SetupDialogProc, [](HWND dialog) {
        test::Click(dialog, IDC_ASSOCZIP);
        test::Click(dialog, IDC_LINKDESKTOP);
        PostMessageW(dialog, WM_CLOSE, 0, 0);  // the close box
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Options().exitCode, 1);
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
    EXPECT_FALSE(test::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Talvex"));
}

TEST_F(SetupDialog, ShowsStoredChoicesOverlaidWithTheInitText)
{
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.cab", L"Set", 0);
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\.gz", L"Set", 0);
    test::RegWriteNumber(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup", L"CascadedMenu", 1);
    wcscpy(Options().initText, L"A1101D1s0");
    test::RunDialog(IDD_SETUPDLG, SetupDialogProc, [](HWND dialog) {
        EXPECT_TRUE(test::IsChecked(dialog, IDC_ASSOCTVX));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_ASSOCZIP));
        EXPECT_FALSE(test::IsChecked(dialog, IDC_ASSOCCAB));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_ASSOCARJ));
        EXPECT_FALSE(test::IsChecked(dialog, IDC_ASSOCGZ));   // stored, not in the text
        EXPECT_TRUE(test::IsChecked(dialog, IDC_ASSOCTAR));   // default
        EXPECT_FALSE(test::IsChecked(dialog, IDC_ASSOCJAR));  // nobody holds .jar yet
        EXPECT_TRUE(test::IsChecked(dialog, IDC_LINKDESKTOP));
        EXPECT_FALSE(test::IsChecked(dialog, IDC_LINKSTARTMENU));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_LINKPROGRAMS));
        EXPECT_FALSE(test::IsChecked(dialog, IDC_SHELLEXT));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_SHELLCASCADED));
        EXPECT_FALSE(test::IsEnabled(dialog, IDC_SHELLCASCADED));
        EXPECT_FALSE(test::IsEnabled(dialog, IDC_SHELLICONS));
        const std::wstring explanation = test::ControlText(dialog, IDC_SETUPEXPLANATION);
        EXPECT_EQ(explanation.rfind(L"    Choose the archive types", 0), 0u) << explanation;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(SetupDialog, SelectAllChecksEveryTypeThenClearsThemAndLeavesTheRest)
{
    test::RunDialog(IDD_SETUPDLG, SetupDialogProc, [](HWND dialog) {
        test::Click(dialog, IDC_ASSOCALL);  // .jar starts unchecked, so: check all
        for (int id = IDC_ASSOCTVX; id < IDC_ASSOCTVX + kTypeBoxes; ++id)
            EXPECT_TRUE(test::IsChecked(dialog, id)) << id;
        test::Click(dialog, IDC_ASSOCALL);  // all checked: clear all
        for (int id = IDC_ASSOCTVX; id < IDC_ASSOCTVX + kTypeBoxes; ++id)
            EXPECT_FALSE(test::IsChecked(dialog, id)) << id;
        test::Click(dialog, IDC_ASSOCISO);  // one checked is not all: check all again
        test::Click(dialog, IDC_ASSOCALL);
        for (int id = IDC_ASSOCTVX; id < IDC_ASSOCTVX + kTypeBoxes; ++id)
            EXPECT_TRUE(test::IsChecked(dialog, id)) << id;
        EXPECT_TRUE(test::IsChecked(dialog, IDC_LINKPROGRAMS));
        EXPECT_FALSE(test::IsChecked(dialog, IDC_LINKDESKTOP));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_SHELLEXT));
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(SetupDialog, ShellExtensionBoxGreysItsDependantsWithoutChangingThem)
{
    test::RunDialog(IDD_SETUPDLG, SetupDialogProc, [](HWND dialog) {
        ASSERT_TRUE(test::IsChecked(dialog, IDC_SHELLEXT));
        EXPECT_TRUE(test::IsEnabled(dialog, IDC_SHELLCASCADED));
        test::Click(dialog, IDC_SHELLCASCADED);
        test::Click(dialog, IDC_SHELLEXT);
        EXPECT_FALSE(test::IsEnabled(dialog, IDC_SHELLCASCADED));
        EXPECT_FALSE(test::IsEnabled(dialog, IDC_SHELLICONS));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_SHELLCASCADED));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_SHELLICONS));
        IntegrationOptions read{};
        ReadSetupDialog(dialog, read);  // what OK would save
        EXPECT_EQ(read.shellExt, 0);
        EXPECT_EQ(read.cascadedMenu, 1);
        EXPECT_EQ(read.menuIcons, 1);
        test::Click(dialog, IDC_SHELLEXT);
        EXPECT_TRUE(test::IsEnabled(dialog, IDC_SHELLCASCADED));
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(SetupDialog, ContextMenuButtonOpensTheItemsDialogOwnedByTheSettings)
{
    test::RunDialog(IDD_SETUPDLG, SetupDialogProc, [](HWND dialog) {
        test::ClickLater(dialog, IDC_SETCONTEXTMENU);
        HWND items = test::WaitForDialog(dialog);
        ASSERT_NE(items, nullptr);
        test::Click(items, IDC_CONTEXTTEST);
        SendMessageW(items, WM_COMMAND, IDOK, 0);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    // The items are stored at once, even though the settings were cancelled.
    DWORD test = 0;
    EXPECT_EQ(test::RegReadValue(HKEY_CURRENT_USER, L"Software\\Talvex\\Setup\\MenuItems",
                                 L"Test", nullptr, &test),
              static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(test, 1u);
}

}  // namespace
}  // namespace tvx
