// A translation loaded for the length of one test: the lines go into uninstall.lng in a
// scratch folder (UTF-16, so any script can be used) and into the process's language table;
// at the end the table is emptied and the mirrored default layout of a right-to-left
// language taken back.
#pragma once
#include <windows.h>
#include <string>
#include "support/scratch.h"

namespace tvx::test {

class LoadedLanguage {
public:
    explicit LoadedLanguage(const std::wstring& lines);
    // A translation file as shipped, loaded from where it lies.
    static void LoadFile(const std::wstring& path);
    ~LoadedLanguage();
    LoadedLanguage(const LoadedLanguage&) = delete;
    LoadedLanguage& operator=(const LoadedLanguage&) = delete;
    const std::wstring& Folder() const { return folder_.Path(); }

private:
    ScratchFolder folder_{L"tvx-language"};
};

}  // namespace tvx::test
