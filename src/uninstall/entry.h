// The program's run from start-up to shut-down: preparing the process, reading the switches,
// running setup or uninstall mode, and what setup mode does after its dialogs (the settings
// file from beside the installer, the 32-bit warning, the program group opened).
#pragma once
#include <windows.h>
#include <cstddef>

namespace tvx {

// Returns the process exit code.
int RunProgram(HINSTANCE instance);

// What /warning shows when the self-removal script could not delete the program.
void BuildCannotDeleteMessage(const wchar_t* programPath, wchar_t* message, size_t capacity);

// Copies talvex.ini from beside the self-extracting installer (sfxname) into the current
// folder when the data folder holds none.
void CopyIniFromInstaller();
// Opens folderToOpen in the shell unless the run options say otherwise.
void OpenFolderAfterSetup();

// Seam for tests, which must never open a folder for real. nullptr: ShellExecuteW.
using ShellOpenFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
void SetShellOpenForTesting(ShellOpenFunction function);

}  // namespace tvx
