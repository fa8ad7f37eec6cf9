// The self-removal script Uninstall_Tvx.Bat that the uninstall run leaves behind in the
// temporary folder: once the uninstalling process has ended it deletes the program and the
// product folder, then itself. cmd reads batch files in the OEM code page and expands '%',
// so every path is written in a form that cmd reads back as exactly that path, or the
// script is not written at all: a mangled path could make del hit other files.
#pragma once
#include <windows.h>
#include <cstddef>
#include "common/strings.h"

namespace tvx {

class FileObject;

constexpr wchar_t kScriptName[] = L"Uninstall_Tvx.Bat";

// The text in the OEM code page, written without terminator. False, with nothing written,
// when some character does not survive the conversion, the text is longer than a script
// line, or the write fails.
bool WriteScriptLine(FileObject& file, const wchar_t* text);

// The path as the script spells it: the path itself, else its short form, whichever the OEM
// code page holds whole; every '%' doubled. False when neither form fits the code page or
// the result does not fit the capacity.
bool MakeScriptPath(const wchar_t* path, wchar_t* output, size_t capacity);

// The distinct lines of the script; retry is written five times.
struct RemovalScript {
    wchar_t start[kLineCapacity];
    wchar_t retry[kLineCapacity];
    wchar_t warning[kLineCapacity];  // empty in a silent run
    wchar_t selfDelete[kLineCapacity];
};

// False when a path has no spelling in the script or a line would be cut.
bool FormatRemovalScript(const wchar_t* programPath, const wchar_t* folder,
                         const wchar_t* scriptPath, bool silent, RemovalScript& script);

// Writes the script at scriptPath, replacing an old one. False, with no file left, when it
// cannot be written whole.
bool WriteRemovalScript(const wchar_t* scriptPath, const wchar_t* programPath,
                        const wchar_t* folder, bool silent);

// Runs the script hidden through the command interpreter named by COMSPEC, from the current
// folder. False when no process was started.
bool StartRemovalScript(const wchar_t* scriptPath);

// Seam for tests: replaces GetShortPathNameW (Wine makes short names for every long name).
// nullptr restores the system function.
using ShortPathFunction = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
void SetShortPathFunctionForTesting(ShortPathFunction function);

// Seam for tests: WriteRemovalScript writes through this file object (whose writes a test
// makes fail, as on a full disk) instead of its own. nullptr restores its own.
void SetScriptFileForTesting(FileObject* file);

}  // namespace tvx
