#include <gtest/gtest.h>
#include <string>
#include "dialog_driver.h"
#include "dialogs/context_items_dialog.h"
#include "language_fixture.h"
#include "resources/resource.h"
#include "support/scratch.h"

namespace tvx {
namespace {

const wchar_t kItemsKey[] = L"Software\\Talvex\\Setup\\MenuItems";

class ContextItems : public ::testing::Test {
protected:
    test::RegistrySandbox sandbox;
};

DWORD StoredItem(const wchar_t* value)
{
    return test::StoredNumber(HKEY_CURRENT_USER, kItemsKey, value);
}

TEST_F(ContextItems, FreshSystemShowsDefaultsAndOkStoresEveryRow)
{
    const INT_PTR result = test::RunDialog(IDD_SETUPCONTEXTITEMS, ContextItemsDialogProc,
                                           [](HWND dialog) {
        for (const ContextMenuItem& item : ContextMenuItemTable) {
            EXPECT_EQ(test::IsChecked(dialog, item.control), item.defaultOn == 1) << item.value;
        }
        EXPECT_FALSE(test::IsChecked(dialog, IDC_CONTEXTTEST));
        EXPECT_FALSE(test::IsChecked(dialog, IDC_CONTEXTCONVERT));
        EXPECT_EQ(test::ControlText(dialog, IDC_CONTEXTALWAYSARC), L"*.iso");
        test::Click(dialog, IDC_CONTEXTCONVERT);
        test::Click(dialog, IDC_CONTEXTDRAGADD);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(result, 1);
    for (const ContextMenuItem& item : ContextMenuItemTable) {
        const std::wstring name = item.value;
        const DWORD expected = name == L"Convert" ? 1 : name == L"DragAdd" ? 0 : item.defaultOn;
        EXPECT_EQ(StoredItem(item.value), expected) << item.value;
    }
    std::wstring masks;
    EXPECT_EQ(test::RegReadValue(HKEY_CURRENT_USER, kItemsKey, L"AlwaysArc", &masks),
              static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(masks, L"*.iso");
}

TEST_F(ContextItems, ShowsStoredValuesAndStoresAClearedMaskListAsEmpty)
{
    test::RegWriteNumber(HKEY_CURRENT_USER, kItemsKey, L"ExtrHere", 0);
    test::RegWriteNumber(HKEY_CURRENT_USER, kItemsKey, L"Test", 1);
    test::RegWriteString(HKEY_CURRENT_USER, kItemsKey, L"AlwaysArc", L"*.img;*.vhd");
    test::RunDialog(IDD_SETUPCONTEXTITEMS, ContextItemsDialogProc, [](HWND dialog) {
        EXPECT_FALSE(test::IsChecked(dialog, IDC_CONTEXTEXTRACTHERE));
        EXPECT_TRUE(test::IsChecked(dialog, IDC_CONTEXTTEST));
        EXPECT_EQ(test::ControlText(dialog, IDC_CONTEXTALWAYSARC), L"*.img;*.vhd");
        SetWindowTextW(GetDlgItem(dialog, IDC_CONTEXTALWAYSARC), L"");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    std::wstring masks = L"unread";
    EXPECT_EQ(test::RegReadValue(HKEY_CURRENT_USER, kItemsKey, L"AlwaysArc", &masks),
              static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(masks, L"");
    EXPECT_EQ(StoredItem(L"ExtrHere"), 0u);
    // The default applies only while the value is absent.
    test::RunDialog(IDD_SETUPCONTEXTITEMS, ContextItemsDialogProc, [](HWND dialog) {
        EXPECT_EQ(test::ControlText(dialog, IDC_CONTEXTALWAYSARC), L"");
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

TEST_F(ContextItems, CancelAfterChangesWritesNothing)
{
    const INT_PTR result = test::RunDialog(IDD_SETUPCONTEXTITEMS, ContextItemsDialogProc,
                                           [](HWND dialog) {
        test::Click(dialog, IDC_CONTEXTEXTRACTTO);
        SetWindowTextW(GetDlgItem(dialog, IDC_CONTEXTALWAYSARC), L"*.bin");
        test::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(test::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Talvex"));
}

TEST_F(ContextItems, MasksReadLeftToRightInARightToLeftLanguage)
{
    test::LoadedLanguage language(L":DIRECTION RTL\r\n");
    test::RunDialog(IDD_SETUPCONTEXTITEMS, ContextItemsDialogProc, [](HWND dialog) {
        EXPECT_NE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
        HWND edit = GetDlgItem(dialog, IDC_CONTEXTALWAYSARC);
        EXPECT_EQ(GetWindowLongW(edit, GWL_EXSTYLE) & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL), 0);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace
}  // namespace tvx
