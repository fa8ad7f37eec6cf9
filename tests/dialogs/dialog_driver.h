// Drives a real modal dialog from a test: the dialog runs on the test's thread as in the
// program, a script thread finds it, clicks its controls and reads their states, the way a
// user would. Clicks go through BM_CLICK, so the dialog sees exactly what a mouse sends.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace tvx::test {

using DialogScript = std::function<void(HWND dialog)>;

// Runs the dialog template `name` of this program with `procedure` and no owner; the script
// gets the dialog once it exists. Whatever the script leaves open is cancelled afterwards.
// Returns the dialog's result.
INT_PTR RunDialog(const wchar_t* name, DLGPROC procedure, const DialogScript& script);

// From a script: the next dialog owned by `owner` (nullptr: the first dialog of the thread
// under test that has no owner), waiting up to five seconds; nullptr when none came.
HWND WaitForDialog(HWND owner);

void Click(HWND dialog, int control);         // returns once the click is handled
void ClickLater(HWND dialog, int control);    // for a button that opens a modal dialog
bool IsChecked(HWND dialog, int control);
bool IsEnabled(HWND dialog, int control);
std::wstring ControlText(HWND dialog, int control);
std::wstring WindowText(HWND window);
RECT ClientRectOf(HWND dialog, int control);  // in the dialog's client coordinates

// What a dialog stored: the DWORD value, or kAbsent when there is no such DWORD.
constexpr DWORD kAbsent = 99;
DWORD StoredNumber(HKEY hive, const std::wstring& key, const std::wstring& value);

// The rich edit class must be registered before a dialog that holds one can be created.
void LoadRichEdit();

}  // namespace tvx::test
