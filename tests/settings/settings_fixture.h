// Shared by the settings tests: points the INI backend at a scratch program folder and user
// folder (so no Talvex.ini of the machine is ever picked up), and UTF-16 file helpers.
#pragma once
#include <windows.h>
#include <string>
#include "support/scratch.h"

namespace tvx::test {

class IniFolders {
public:
    explicit IniFolders(const wchar_t* name);
    ~IniFolders();
    IniFolders(const IniFolders&) = delete;
    IniFolders& operator=(const IniFolders&) = delete;

    std::wstring ProgramIni() const { return program_ + L"\\Talvex.ini"; }
    std::wstring UserIni() const { return user_ + L"\\Talvex.ini"; }
    const std::wstring& ProgramFolder() const { return program_; }
    // Drops what was loaded (without saving) and looks for the files again.
    void Reload() const;

private:
    ScratchFolder folder_;
    std::wstring program_;
    std::wstring user_;
};

// A file as the program writes it: the FF FE signature, then UTF-16 little-endian text.
std::string Utf16File(const std::wstring& text);
void WriteIni(const std::wstring& path, const std::wstring& text);
// The file's text after the signature; "<no file>" when it does not exist.
std::wstring ReadIni(const std::wstring& path);

}  // namespace tvx::test
