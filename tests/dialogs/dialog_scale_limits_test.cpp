// A translation may ask for any scale that fits an int: the largest one must resize a dialog
// and its children without any arithmetic running past an int on the way.
#include <gtest/gtest.h>

#include "language/dialog_localization.h"
#include "language_fixture.h"

namespace tvx {
namespace {

TEST(LocalizeDialog, TheLargestValidScaleKeepsEveryCoordinateWithinAnInt)
{
    test::LoadedLanguage language(L":DIALOG HUGE\r\nSIZE 2147483647*2147483647\r\n");
    HWND window = CreateWindowExW(0, L"#32770", L"Huge", WS_POPUP | WS_CAPTION | DS_CENTER, 100, 80, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 10, 20, 150, 120, window,
                                 reinterpret_cast<HMENU>(11), nullptr, nullptr);
    ASSERT_NE(combo, nullptr);

    LocalizeDialog(window, L"HUGE");

    RECT outer, child;
    GetWindowRect(window, &outer);
    GetWindowRect(combo, &child);
    EXPECT_GE(outer.right, outer.left);
    EXPECT_GE(child.bottom, child.top);
    DestroyWindow(window);
}

}  // namespace
}  // namespace tvx
