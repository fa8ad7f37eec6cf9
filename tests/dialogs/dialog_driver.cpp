#include "dialog_driver.h"
#include <atomic>
#include <thread>
#include "common/handles.h"
#include "support/scratch.h"
#include "uninstall/run_options.h"

namespace tvx::test {
namespace {

DWORD dialogThread = 0;
std::atomic<bool> dialogEnded{false};

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") != 0) return TRUE;
    if (GetWindow(window, GW_OWNER) != search->owner || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialog(HWND owner)
{
    DialogSearch search{owner, nullptr};
    EnumThreadWindows(dialogThread, MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND WaitForDialog(HWND owner)
{
    for (int i = 0; i < 500 && !dialogEnded; ++i) {
        if (HWND dialog = FindDialog(owner)) return dialog;
        Sleep(10);
    }
    return nullptr;
}

INT_PTR RunDialog(const wchar_t* name, DLGPROC procedure, const DialogScript& script)
{
    dialogThread = GetCurrentThreadId();
    dialogEnded = false;
    std::thread driver([&script] {
        HWND dialog = WaitForDialog(nullptr);
        if (dialog != nullptr) script(dialog);
        // A script that failed half-way must not leave the test waiting for a person.
        while (!dialogEnded) {
            HWND open = FindDialog(nullptr);
            if (open != nullptr) PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
            Sleep(50);
        }
    });
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), name, nullptr, procedure, 0);
    dialogEnded = true;
    driver.join();
    return result;
}

void Click(HWND dialog, int control)
{
    SendMessageW(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

void ClickLater(HWND dialog, int control)
{
    PostMessageW(GetDlgItem(dialog, control), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int control)
{
    return SendMessageW(GetDlgItem(dialog, control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int control)
{
    return IsWindowEnabled(GetDlgItem(dialog, control)) != FALSE;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = L"";
    GetWindowTextW(window, text, 4096);
    return text;
}

std::wstring ControlText(HWND dialog, int control)
{
    return WindowText(GetDlgItem(dialog, control));
}

RECT ClientRectOf(HWND dialog, int control)
{
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, control), &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

DWORD StoredNumber(HKEY hive, const std::wstring& key, const std::wstring& value)
{
    DWORD number = kAbsent;
    if (RegReadValue(hive, key, value, nullptr, &number) != REG_DWORD) return kAbsent;
    return number;
}

void LoadRichEdit()
{
    static ModuleHandle richEdit(LoadSystemDll(L"riched20.dll"));
}

}  // namespace tvx::test
