#include <gtest/gtest.h>
#include <cstdlib>
#include <string>
#include <vector>
#include "dialog_driver.h"
#include "dialogs/completion_dialog.h"
#include "dialogs/context_items_dialog.h"
#include "dialogs/help_viewer.h"
#include "dialogs/setup_dialog.h"
#include "language/language_table.h"
#include "uninstall/run_options.h"
#include "language/dialog_localization.h"
#include "language_fixture.h"
#include "resources/resource.h"

namespace tvx {
namespace {

using test::LoadedLanguage;

// ParseDialogScale, one row a sentence: text, valid, width, height.
struct ScaleCase {
    const wchar_t* text;
    bool valid;
    int width;
    int height;
};

TEST(DialogScale, ReadsWidthStarHeightAndRejectsWhatWouldChangeNothingOrBreak)
{
    const ScaleCase cases[] = {
        {L"120*110", true, 120, 110},     // the usual form
        {L"100*120", true, 100, 120},     // one axis at 100 is still a change
        {L"90*100", true, 90, 100},       // shrinking is allowed
        {L"120x*90", true, 120, 90},      // a number ends at its first non-digit
        {L"100*100", false, 0, 0},        // no change at all
        {L"0*120", false, 0, 0},          // a zero axis would collapse the dialog
        {L"-50*120", false, 0, 0},        // negative
        {L"120", false, 0, 0},            // no star
        {L"120*", false, 0, 0},           // no height
        {L"*120", false, 0, 0},           // no width
        {L"4294967396*100", false, 0, 0}, // beyond an int: would wrap into a small percent
        {L"18446744073709551716*120", false, 0, 0},  // 2^64 + 100: wraps even 64 bits
        {L"120*000000000000000000000000150", true, 120, 150},  // leading zeros are no digits too many
        {L"", false, 0, 0},
    };
    for (const ScaleCase& row : cases) {
        int width = 0, height = 0;
        EXPECT_EQ(ParseDialogScale(row.text, width, height), row.valid) << row.text;
        EXPECT_EQ(width, row.width) << row.text;
        EXPECT_EQ(height, row.height) << row.text;
    }
}

// A dialog that does nothing but what every dialog procedure does first.
const wchar_t* dialogUnderTest = L"";
INT_PTR CALLBACK CommonOnly(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HandleCommonDialogMessage(window, message, wParam, lParam, dialogUnderTest,
                                  L"HELPContextItems")) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(window, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

struct Geometry {
    RECT window{};
    RECT client{};
    std::vector<RECT> children;
    std::wstring caption;
};

Geometry MeasureDialog(const wchar_t* name)
{
    test::LoadRichEdit();
    dialogUnderTest = name;
    Geometry g;
    test::RunDialog(name, CommonOnly, [&g](HWND dialog) {
        GetWindowRect(dialog, &g.window);
        GetClientRect(dialog, &g.client);
        for (HWND child = GetWindow(dialog, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
            g.children.push_back(r);
        }
        g.caption = test::WindowText(dialog);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    return g;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

TEST(LocalizeDialog, ReplacesControlTextsAndKeepsTheOthers)
{
    LoadedLanguage language(L":DIALOG DONEDLG\r\n"
                            L"IDOK Fertig\r\n"
                            L"IDC_VIEWHELP \"  Hilfe  \"\r\n"
                            L"IDC_THANKS Danke\r\n"
                            L":DIALOG SETUPDLG\r\n"
                            L"IDC_HOMEPAGE Falscher Dialog\r\n");
    test::LoadRichEdit();
    dialogUnderTest = IDD_DONEDLG;
    test::RunDialog(IDD_DONEDLG, CommonOnly, [](HWND dialog) {
        EXPECT_EQ(test::ControlText(dialog, IDOK), L"Fertig");
        EXPECT_EQ(test::ControlText(dialog, IDC_VIEWHELP), L"  Hilfe  ");
        EXPECT_EQ(test::ControlText(dialog, IDC_THANKS), L"Danke");
        EXPECT_EQ(test::ControlText(dialog, IDC_HOMEPAGE), L"Home &page");
        EXPECT_EQ(test::WindowText(dialog), L"Talvex setup");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
}

TEST(LocalizeDialog, CaptionIsAppliedWithOrWithoutAValidSize)
{
    const Geometry plain = MeasureDialog(IDD_DONEDLG);
    {
        LoadedLanguage language(L":DIALOG DONEDLG\r\nCAPTION Fertig\r\nSIZE 120\r\n");
        const Geometry g = MeasureDialog(IDD_DONEDLG);
        EXPECT_EQ(g.caption, L"Fertig");
        EXPECT_TRUE(SameRect(g.window, plain.window));
        EXPECT_EQ(g.children.size(), plain.children.size());
        for (size_t i = 0; i < g.children.size(); ++i)
            EXPECT_TRUE(SameRect(g.children[i], plain.children[i])) << i;
    }
    {
        LoadedLanguage language(L":DIALOG DONEDLG\r\nCAPTION Fertig\r\nSIZE 110*110\r\n");
        const Geometry g = MeasureDialog(IDD_DONEDLG);
        EXPECT_EQ(g.caption, L"Fertig");
        EXPECT_GT(g.client.bottom, plain.client.bottom);
    }
}

TEST(LocalizeDialog, HeightOnlyScaleKeepsEveryWidthAndScalesVertically)
{
    const Geometry plain = MeasureDialog(IDD_SETUPCONTEXTITEMS);
    LoadedLanguage language(L":DIALOG SETUPCONTEXTITEMS\r\nSIZE 100*120\r\n");
    const Geometry g = MeasureDialog(IDD_SETUPCONTEXTITEMS);

    EXPECT_EQ(g.client.right, plain.client.right);
    EXPECT_EQ(g.client.bottom, plain.client.bottom * 120 / 100);
    EXPECT_EQ(g.window.right - g.window.left, plain.window.right - plain.window.left);
    ASSERT_EQ(g.children.size(), plain.children.size());
    ASSERT_GT(g.children.size(), 20u);
    for (size_t i = 0; i < g.children.size(); ++i) {
        const RECT& before = plain.children[i];
        const RECT& after = g.children[i];
        EXPECT_EQ(after.left, before.left) << i;
        EXPECT_EQ(after.right - after.left, before.right - before.left) << i;
        EXPECT_EQ(after.top, before.top * 120 / 100) << i;
        EXPECT_EQ(after.bottom - after.top, (before.bottom - before.top) * 120 / 100) << i;
    }
}

TEST(LocalizeDialog, CentredDialogStaysCentredWhenScaled)
{
    const Geometry plain = MeasureDialog(IDD_SETUPDLG);
    LoadedLanguage language(L":DIALOG SETUPDLG\r\nSIZE 130*90\r\n");
    const Geometry g = MeasureDialog(IDD_SETUPDLG);
    EXPECT_EQ(g.client.right, plain.client.right * 130 / 100);
    EXPECT_EQ(g.client.bottom, plain.client.bottom * 90 / 100);
    EXPECT_LE(std::abs((g.window.left + g.window.right) - (plain.window.left + plain.window.right)), 2);
    EXPECT_LE(std::abs((g.window.top + g.window.bottom) - (plain.window.top + plain.window.bottom)), 2);
}

// A window not created centred (no DS_CENTER) with the two kinds of combo box.
struct PlainWindow {
    HWND window;
    HWND dropDown;
    HWND simple;
    HWND button;
};

PlainWindow MakePlainWindow()
{
    PlainWindow w{};
    w.window = CreateWindowExW(0, L"#32770", L"Plain", WS_POPUP | WS_CAPTION | WS_SYSMENU, 100,
                               80, 400, 300, nullptr, nullptr, nullptr, nullptr);
    w.dropDown = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 10, 20, 150,
                                 120, w.window, reinterpret_cast<HMENU>(11), nullptr, nullptr);
    w.simple = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | CBS_SIMPLE, 200, 20, 150, 100,
                               w.window, reinterpret_cast<HMENU>(12), nullptr, nullptr);
    w.button = CreateWindowExW(0, L"BUTTON", L"B", WS_CHILD, 10, 200, 80, 20, w.window,
                               reinterpret_cast<HMENU>(13), nullptr, nullptr);
    return w;
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int DroppedHeight(HWND combo)
{
    RECT r{};
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));
    return r.bottom - r.top;
}

TEST(LocalizeDialog, UncentredWindowKeepsItsCornerAndDropDownListsGrowWithIt)
{
    LoadedLanguage language(L":DIALOG PLAIN\r\nSIZE 150*200\r\n");
    PlainWindow w = MakePlainWindow();
    RECT before, clientBefore;
    GetWindowRect(w.window, &before);
    GetClientRect(w.window, &clientBefore);
    const RECT simpleBefore = ChildRect(w.window, w.simple);
    const RECT buttonBefore = ChildRect(w.window, w.button);
    const int droppedBefore = DroppedHeight(w.dropDown);

    LocalizeDialog(w.window, L"PLAIN");

    RECT after, clientAfter;
    GetWindowRect(w.window, &after);
    GetClientRect(w.window, &clientAfter);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(clientAfter.right, clientBefore.right * 150 / 100);
    EXPECT_EQ(clientAfter.bottom, clientBefore.bottom * 2);
    const RECT button = ChildRect(w.window, w.button);
    EXPECT_EQ(button.left, buttonBefore.left * 150 / 100);
    EXPECT_EQ(button.top, buttonBefore.top * 2);
    EXPECT_EQ(button.right - button.left, (buttonBefore.right - buttonBefore.left) * 150 / 100);
    const RECT simple = ChildRect(w.window, w.simple);
    EXPECT_EQ(simple.bottom - simple.top, (simpleBefore.bottom - simpleBefore.top) * 2);
    // The drop-down list is scaled on top of the box: more than twice what it was.
    EXPECT_GT(DroppedHeight(w.dropDown), droppedBefore * 2);
    DestroyWindow(w.window);
}

// The help calls the common handler makes, caught at the seam.
std::vector<std::wstring> helpTargets;
HWND WINAPI RecordHelp(HWND, LPCWSTR target, UINT, DWORD_PTR)
{
    helpTargets.push_back(target);
    return nullptr;
}

struct HelpSeam {
    HelpSeam()
    {
        helpTargets.clear();
        ResetHelpViewerForTesting();
        SetHtmlHelpForTesting(RecordHelp);
    }
    ~HelpSeam() { SetHtmlHelpForTesting(nullptr); }
};

TEST(LocalizeDialog, ShippedRightToLeftTranslationMirrorsEveryDialogAndF1StillHelps)
{
    test::RegistrySandbox sandbox;
    LoadedLanguage language(L"");
    LoadedLanguage::LoadFile(test::SourceDir() + L"\\src\\resources\\lang\\hebrew\\uninstall.lng");
    ASSERT_TRUE(Languages().IsRightToLeft());
    // The dialogs mirror themselves, not only through the process default layout.
    SetProcessDefaultLayout(0);
    HelpSeam seam;
    struct RealDialog {
        const wchar_t* name;
        DLGPROC procedure;
    };
    const RealDialog dialogs[] = {{IDD_SETUPDLG, SetupDialogProc},
                                  {IDD_SETUPCONTEXTITEMS, ContextItemsDialogProc},
                                  {IDD_DONEDLG, CompletionDialogProc}};
    test::LoadRichEdit();
    for (const RealDialog& dialog : dialogs) {
        test::RunDialog(dialog.name, dialog.procedure, [&dialog](HWND window) {
            EXPECT_NE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0) << dialog.name;
            HWND ok = GetDlgItem(window, IDOK);
            EXPECT_NE(GetWindowLongW(ok, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0) << dialog.name;
            EXPECT_EQ(test::WindowText(ok), L"\u05d0\u05d9\u05e9\u05d5\u05e8") << dialog.name;
            SendMessageW(window, WM_HELP, 0, 0);
            SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
        });
    }
    Options().exitCode = 0;  // the settings dialog was cancelled
    ASSERT_EQ(helpTargets.size(), 2u);  // the completion dialog has no help topic for F1
    EXPECT_NE(helpTargets[0].find(L"HELPIntegrationSettings"), std::wstring::npos);
    EXPECT_NE(helpTargets[1].find(L"HELPContextItems"), std::wstring::npos);
}

TEST(HandleCommonDialogMessage, HelpOnlyForDialogsWithATopic)
{
    HelpSeam seam;
    EXPECT_TRUE(HandleCommonDialogMessage(nullptr, WM_HELP, 0, 0, IDD_DONEDLG, nullptr));
    EXPECT_FALSE(HandleCommonDialogMessage(nullptr, WM_COMMAND, IDHELP, 0, IDD_DONEDLG, nullptr));
    EXPECT_TRUE(helpTargets.empty());
    EXPECT_FALSE(HandleCommonDialogMessage(nullptr, WM_COMMAND, IDHELP, 0, IDD_SETUPDLG,
                                           L"HELPIntegrationSettings"));
    EXPECT_TRUE(HandleCommonDialogMessage(nullptr, WM_HELP, 0, 0, IDD_SETUPDLG,
                                          L"HELPIntegrationSettings"));
    ASSERT_EQ(helpTargets.size(), 2u);
    EXPECT_NE(helpTargets[0].find(L"talvex.chm::/html/HELPIntegrationSettings.htm"),
              std::wstring::npos);
}

}  // namespace
}  // namespace tvx
