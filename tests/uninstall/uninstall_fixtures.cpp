#include "uninstall_fixtures.h"
#include <gtest/gtest.h>
#include "common/handles.h"
#include "support/scratch.h"

namespace tvx::test {

namespace {

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

bool ReadPendingValue(std::vector<BYTE>& data)
{
    data.clear();
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    LONG status = RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        data.resize(size);
        status = RegQueryValueExW(key.get(), kPendingValue, nullptr, nullptr, data.data(), &size);
        data.resize(size);
    }
    return status == ERROR_SUCCESS;
}

std::wstring WithoutNtPrefix(const std::wstring& name)
{
    return name.rfind(L"\\??\\", 0) == 0 ? name.substr(4) : name;
}

}  // namespace

bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::wstring& path)
{
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << "cannot make the folder";
}

void MakeFile(const std::wstring& path)
{
    WriteFileBytes(path, "listed file\r\n");
}

ModuleHandle LoadCopyOfThisProgram(const std::wstring& path)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    CopyFileW(self, path.c_str(), FALSE);
    return ModuleHandle(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
}

FileHandle MakeHeldFile(const std::wstring& path)
{
    MakeFile(path);
    return FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
}

std::vector<PendingRename> PendingRenames()
{
    std::vector<BYTE> data;
    std::vector<PendingRename> pairs;
    if (!ReadPendingValue(data)) return pairs;
    std::vector<std::wstring> names;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
    size_t count = data.size() / sizeof(wchar_t);
    for (size_t start = 0; start < count;) {
        std::wstring name(text + start);
        names.push_back(name);
        start += name.size() + 1;
    }
    for (size_t i = 0; i + 1 < names.size(); i += 2) {
        pairs.push_back({WithoutNtPrefix(names[i]), WithoutNtPrefix(names[i + 1])});
    }
    return pairs;
}

bool IsPendingDeletion(const std::wstring& path)
{
    for (const PendingRename& pair : PendingRenames()) {
        if (lstrcmpiW(pair.source.c_str(), path.c_str()) == 0 && pair.target.empty()) return true;
    }
    return false;
}

PendingRenamesGuard::PendingRenamesGuard()
{
    existed_ = ReadPendingValue(saved_);
}

PendingRenamesGuard::~PendingRenamesGuard()
{
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    if (existed_) {
        RegSetValueExW(key.get(), kPendingValue, 0, REG_MULTI_SZ, saved_.data(),
                       static_cast<DWORD>(saved_.size()));
    } else {
        RegDeleteValueW(key.get(), kPendingValue);
    }
}

bool RunAndWait(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    KernelHandle processHandle(process.hProcess);
    KernelHandle thread(process.hThread);
    bool ended = WaitForSingleObject(processHandle.get(), timeoutMs) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(processHandle.get(), 1);
    if (exitCode != nullptr) GetExitCodeProcess(processHandle.get(), exitCode);
    return ended;
}

}  // namespace tvx::test
