#include "support/scratch.h"
#include <shellapi.h>
#include <gtest/gtest.h>
#include <vector>

namespace tvx::test {

std::wstring BuildDir() { return TVX_WIN_BUILD_DIR; }
std::wstring SourceDir() { return TVX_WIN_SOURCE_DIR; }

void DeleteTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") DeleteTree(path + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

ScratchFolder::ScratchFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"-" + std::to_wstring(GetCurrentProcessId());
    DeleteTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { DeleteTree(path_); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create the test file";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

namespace {
// One scratch root per process, so test programs running side by side in one prefix never
// wipe each other's sandbox.
std::wstring SandboxRoot()
{
    return L"Software\\TvxTestSandbox\\" + std::to_wstring(GetCurrentProcessId());
}

struct SandboxedHive {
    HKEY hive;
    const wchar_t* name;
};
const SandboxedHive kSandboxedHives[] = {
    {HKEY_CLASSES_ROOT, L"HKCR"}, {HKEY_CURRENT_USER, L"HKCU"}, {HKEY_LOCAL_MACHINE, L"HKLM"}};
}  // namespace

RegistrySandbox::RegistrySandbox()
{
    const std::wstring root = SandboxRoot();
    RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
    std::vector<HKEY> keys;
    for (const SandboxedHive& entry : kSandboxedHives) {
        HKEY key = nullptr;
        std::wstring path = root + L"\\" + entry.name;
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        keys.push_back(key);
    }
    // HKEY_CURRENT_USER last: the other scratch keys live below the real one.
    for (size_t i = 0; i < keys.size(); ++i) {
        RegOverridePredefKey(kSandboxedHives[i].hive, keys[i]);
        RegCloseKey(keys[i]);
    }
}

RegistrySandbox::~RegistrySandbox()
{
    for (const SandboxedHive& entry : kSandboxedHives) RegOverridePredefKey(entry.hive, nullptr);
    const std::wstring root = SandboxRoot();
    RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, root.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TvxTestSandbox");
}

bool RegKeyExists(HKEY hive, const std::wstring& key, REGSAM view)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

DWORD RegReadValue(HKEY hive, const std::wstring& key, const std::wstring& value,
                   std::wstring* text, DWORD* number, REGSAM view)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return REG_NONE;
    DWORD type = REG_NONE;
    std::vector<BYTE> data(65536);
    DWORD size = static_cast<DWORD>(data.size());
    LONG status = RegQueryValueExW(opened, value.c_str(), nullptr, &type, data.data(), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return REG_NONE;
    if (text != nullptr && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring read(reinterpret_cast<const wchar_t*>(data.data()), size / 2);
        while (!read.empty() && read.back() == L'\0') read.pop_back();
        *text = read;
    }
    if (number != nullptr && type == REG_DWORD) *number = *reinterpret_cast<const DWORD*>(data.data());
    return type;
}

void RegWriteString(HKEY hive, const std::wstring& key, const std::wstring& value,
                    const std::wstring& text, REGSAM view)
{
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(created, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(created);
}

void RegWriteNumber(HKEY hive, const std::wstring& key, const std::wstring& value, DWORD number)
{
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(created, value.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(created);
}

void RegDeleteTree(HKEY hive, const std::wstring& key, REGSAM view)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_ALL_ACCESS | view, &opened) == ERROR_SUCCESS) {
        RegDeleteTreeW(opened, nullptr);
        RegCloseKey(opened);
    }
    RegDeleteKeyExW(hive, key.c_str(), view, 0);
}

}  // namespace tvx::test
