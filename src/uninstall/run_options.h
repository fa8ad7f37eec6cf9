// The process-wide run options settled by the switches, the message-box wrapper every
// message of the program goes through, and the start-up helpers other parts consult
// (screen scaling, WOW64, system libraries, the dialog icon and bold font).
#pragma once
#include <windows.h>
#include "common/strings.h"

namespace tvx {

struct RunOptions {
    bool silent = false;
    bool msi = false;
    bool noExplorer = false;
    wchar_t initText[40] = L"";
    int exitCode = 0;
    wchar_t folderToOpen[kPathCapacity] = L"";
};

RunOptions& Options();

// Adds MB_RIGHT | MB_RTLREADING for right-to-left languages.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
// Seam for tests, which answer the boxes themselves. nullptr: MessageBoxW.
using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
void SetMessageBoxForTesting(MessageBoxFunction function);

// value * dpiY / 96, truncating toward zero; the screen's dpiY is read once and kept.
int ScaleByDpiY(int value);
void SetScreenDpiForTesting(int dpiY);  // 0 clears the cache

// IsWow64Process, asked once; a failed query is asked again next time.
bool RunningUnderWow64();
using Wow64Query = BOOL(WINAPI*)(HANDLE, PBOOL);
void SetWow64QueryForTesting(Wow64Query query);  // nullptr: the system's; clears the cache
bool IsNativeIa64();
void HardenDllSearchPath(bool remove);
// Loads a library by its full path in the system folder; nullptr when that is unknown.
HMODULE LoadSystemDll(const wchar_t* name);

// The dialog icon TVXICON and the bold dialog font: made by the entry at start-up, after the
// language library has fixed the resource module, and released at its end. Empty when they
// could not be made.
void CreateUserInterfaceHandles();
void ReleaseUserInterfaceHandles();
HICON AppIcon();
HFONT BoldFont();

}  // namespace tvx
