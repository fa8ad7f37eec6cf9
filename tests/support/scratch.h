// Test fixtures shared by every suite: a scratch folder wiped first and last, a registry
// sandbox that points the process's predefined hives at scratch keys, and the paths of the
// build tree in the form the program sees them under Wine.
#pragma once
#include <windows.h>
#include <string>

namespace tvx::test {

// Windows paths of the build and source trees (drive Z: is the Linux root under Wine).
std::wstring BuildDir();
std::wstring SourceDir();

// A fresh folder under the temporary folder, deleted with everything in it at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const wchar_t* name = L"tvx-scratch");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void DeleteTree(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);

// While alive, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of this process
// are scratch keys under HKCU\Software\TvxTestSandbox\<process id>\<hive>. Beware: a create with
// KEY_WOW64_64KEY bypasses the override of HKEY_CLASSES_ROOT.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;
};

// Reading the registry as the test sees it (through any sandbox in force).
bool RegKeyExists(HKEY hive, const std::wstring& key, REGSAM view = 0);
// Returns the type of the value, or REG_NONE when it is absent.
DWORD RegReadValue(HKEY hive, const std::wstring& key, const std::wstring& value,
                   std::wstring* text, DWORD* number = nullptr, REGSAM view = 0);
void RegWriteString(HKEY hive, const std::wstring& key, const std::wstring& value,
                    const std::wstring& text, REGSAM view = 0);
void RegWriteNumber(HKEY hive, const std::wstring& key, const std::wstring& value, DWORD number);
void RegDeleteTree(HKEY hive, const std::wstring& key, REGSAM view = 0);

}  // namespace tvx::test
