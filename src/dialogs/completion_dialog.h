// The end of a setup run: the product's entry in the system's list of installed programs,
// and the completion dialog DONEDLG with its help, licence and home-page buttons.
#pragma once
#include <windows.h>

namespace tvx {

extern const wchar_t kUninstallEntryKey[];  // absolute, under HKEY_LOCAL_MACHINE

// Write failures are not reported; every value is still attempted.
void WriteUninstallEntry();

INT_PTR CALLBACK CompletionDialogProc(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam);
void EnableDlgItem(HWND dialog, int controlId, bool enable);

// Seam for tests: replaces the shell-open call of the completion dialog's buttons, which
// would open a browser or an editor. nullptr restores ShellExecuteW.
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND owner, LPCWSTR verb, LPCWSTR file,
                                                LPCWSTR parameters, LPCWSTR directory,
                                                INT show);
void SetShellExecuteForTesting(ShellExecuteFunction function);

}  // namespace tvx
