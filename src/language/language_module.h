// The module dialogs, strings and icons are loaded from (the language library tvxlng.dll
// when one is loaded, else the program itself) and the user's language folder, whose
// uninstall.lng, tvxlng.dll, talvex.chm and license.txt win over those beside the program.
#pragma once
#include <windows.h>
#include <cstddef>

namespace tvx {

// out receives the path inside the language folder when the file exists there, else name
// unchanged; out may be name itself. Always terminated within capacity.
void ApplyLanguageFolder(const wchar_t* name, wchar_t* out, size_t capacity);
// path nullptr: tvxlng.dll beside the program. Frees a library loaded before.
void LoadLanguageModule(HMODULE ownModule, const wchar_t* path);
void ReleaseLanguageModule();
HMODULE ResourceModule();
HMODULE OwnModule();

}  // namespace tvx
