// Paths as wide text in fixed buffers: splitting, joining, the extended-length form that the
// file-system wrappers retry with, the per-user data folder and the Windows version.
// Both '\' and '/' separate when a path is read; only '\' is ever written.
#pragma once
#include <windows.h>
#include <cstddef>

namespace tvx {

// major * 256 + minor, read once; 0x0501 on a non-NT platform.
unsigned WindowsVersion();
void ResetWindowsVersionCache();  // tests that switch the reported version

bool IsSeparator(wchar_t c);
bool IsDrivePrefix(const wchar_t* path);
bool IsAbsolutePath(const wchar_t* path);
bool HasWildcards(const wchar_t* path);  // false for nullptr
wchar_t* LastChar(wchar_t* path);  // the start for an empty path
const wchar_t* LastChar(const wchar_t* path);
const wchar_t* NamePart(const wchar_t* path);
wchar_t* NamePart(wchar_t* path);
// Cuts in place to the folder; a drive root keeps its separator ("C:\file" gives "C:\").
wchar_t* CutToFolder(wchar_t* path);
void ReplaceNamePart(wchar_t* path, const wchar_t* name, size_t capacity);
void GetFolderPart(const wchar_t* path, wchar_t* output, size_t capacity);
// Appends '\' when the path is non-empty, lacks one and has room; returns the old length.
size_t AddTrailingSeparator(wchar_t* path, size_t capacity);
void JoinPath(const wchar_t* folder, const wchar_t* name, wchar_t* output, size_t capacity);
// The extended-length form ("\\?\C:\...", "\\?\UNC\server\..."), relative paths resolved
// against the current folder with no other normalisation. False, never a cut text, when it
// does not fit; false too for a path already in that form.
bool MakeLongPath(const wchar_t* path, wchar_t* output, size_t capacity);

// The product's per-user data folder: the AppData value under Software\Talvex\Paths when it
// names an existing folder, else <user application data>\Talvex when it exists (or could be
// created when create is set), else the program's own folder. A stored value without a
// terminator is accepted; one too long for the output with its terminator is ignored, not cut.
void GetAppDataFolder(wchar_t* output, size_t capacity, bool create);

// The program's own full path (GetModuleFileNameW of the executable), always terminated.
void GetProgramPath(wchar_t* output, size_t capacity);

}  // namespace tvx
