// Shared by the integration tests: a program folder of their own with placeholder sibling
// files (the engine takes its folder from there), registry dumps for exact footprints, and
// scrubbing of the traces the engine can leave in the test prefix outside any sandbox.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "support/scratch.h"

namespace tvx::test {

// While alive, the engine's program folder is a scratch folder holding the named files
// (placeholders), and the INI backend looks for Talvex.ini only in scratch folders.
class ProgramFolder {
public:
    ProgramFolder(const wchar_t* name, std::initializer_list<const wchar_t*> files);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    const std::wstring& Path() const { return program_; }
    std::wstring File(const std::wstring& name) const { return program_ + L"\\" + name; }
    std::wstring UserFolder() const { return user_; }

private:
    ScratchFolder folder_;
    std::wstring program_;
    std::wstring user_;
};

// Every key and value below key (the key itself excluded), one sorted line each:
// "sub\key" for a key, "sub\key|name=text" or "sub\key|name=#number" for a value
// ("@" names the default value).
std::vector<std::wstring> DumpRegistry(HKEY hive, const std::wstring& key, REGSAM view = 0);
// The lines of after that are not in before, and the other way round, for failure messages.
std::wstring DescribeChange(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after);

// Removes from the prefix's own registry (both views) every class, handler, CLSID, App Paths
// and settings entry the engine writes, so tests outside a sandbox start and end clean.
void ScrubPrefixRegistry();

// Removes Talvex.lnk from both desktops and both Start menus and both "Talvex" groups.
void RemovePrefixShortcuts();
std::wstring ShellFolder(int csidl);

// Wine shows a Unix symbolic link to a folder as a folder that is a reparse point, and a
// Windows program cannot make one there; these run the Linux tools to make and remove it.
// True when the link is there (or gone) afterwards.
bool MakeUnixFolderLink(const std::wstring& target, const std::wstring& link);
bool RemoveUnixFolderLink(const std::wstring& link);

}  // namespace tvx::test
