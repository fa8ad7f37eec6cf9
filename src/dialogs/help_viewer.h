// The product's help file talvex.chm (beside the program, or in the language folder), shown
// at a topic or at its table of contents through the system's HTML help control. The control
// is loaded on the first request and stays loaded until the process ends.
#pragma once
#include <windows.h>

namespace tvx {

// topic such as L"HELPContextItems", or nullptr for the table of contents. Returns the help
// window, or nullptr when there is no help control or the file cannot be shown.
HWND ShowHelp(const wchar_t* topic);

// Seam for tests: replaces the one call into the help control, which would open a window;
// the control is still loaded and its entry looked up. nullptr restores the real call.
using HtmlHelpFunction = HWND(WINAPI*)(HWND owner, LPCWSTR target, UINT command,
                                       DWORD_PTR data);
void SetHtmlHelpForTesting(HtmlHelpFunction function);
// Forgets the help file path and the short-path retry, as in a new process.
void ResetHelpViewerForTesting();

}  // namespace tvx
