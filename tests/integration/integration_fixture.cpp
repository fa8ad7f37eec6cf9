#include "integration_fixture.h"

#include <shlobj.h>
#include <algorithm>
#include <cstring>
#include "integration/integration_options.h"
#include "integration/shell_extension.h"
#include "settings/ini_settings.h"
#include "settings/settings_store.h"

namespace tvx::test {

ProgramFolder::ProgramFolder(const wchar_t* name, std::initializer_list<const wchar_t*> files)
    : folder_(name), program_(folder_ / L"Talvex"), user_(folder_ / L"user")
{
    CreateDirectoryW(program_.c_str(), nullptr);
    CreateDirectoryW(user_.c_str(), nullptr);
    for (const wchar_t* file : files) WriteFileBytes(File(file), "MZ placeholder");
    SetProgramPathForTesting(File(L"uninstall.exe").c_str());
    Ini().UseFoldersForTesting(program_.c_str(), user_.c_str());
}

ProgramFolder::~ProgramFolder()
{
    SetProgramPathForTesting(nullptr);
    Ini().UseFoldersForTesting(nullptr, nullptr);
    Settings().SetRegistryView(0);
}

namespace {

void DumpValues(HKEY key, const std::wstring& prefix, std::vector<std::wstring>& lines)
{
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD nameLength = 512, type = 0;
        BYTE data[8192] = {};
        DWORD size = sizeof data - sizeof(wchar_t);
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::wstring line = prefix + L"|" + (name[0] != L'\0' ? name : L"@") + L"=";
        if (type == REG_DWORD)
            line += L"#" + std::to_wstring(*reinterpret_cast<DWORD*>(data));
        else
            line += reinterpret_cast<const wchar_t*>(data);
        lines.push_back(line);
    }
}

void DumpKey(HKEY hive, const std::wstring& path, const std::wstring& shown, REGSAM view,
             std::vector<std::wstring>& lines)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    if (!shown.empty()) {
        lines.push_back(shown);
        DumpValues(key, shown, lines);
    }
    std::vector<std::wstring> children;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& child : children)
        DumpKey(hive, path.empty() ? child : path + L"\\" + child, shown.empty() ? child : shown + L"\\" + child,
                view, lines);
}

}  // namespace

std::vector<std::wstring> DumpRegistry(HKEY hive, const std::wstring& key, REGSAM view)
{
    std::vector<std::wstring> lines;
    DumpKey(hive, key, L"", view, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::wstring DescribeChange(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after)
{
    std::wstring text;
    for (const std::wstring& line : after)
        if (!std::binary_search(before.begin(), before.end(), line)) text += L"\n  + " + line;
    for (const std::wstring& line : before)
        if (!std::binary_search(after.begin(), after.end(), line)) text += L"\n  - " + line;
    return text;
}

namespace {

const REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
const wchar_t kApproved[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

void DeleteValueInViews(HKEY hive, const std::wstring& key, const wchar_t* value)
{
    for (REGSAM view : kViews) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_SET_VALUE | view, &opened) != ERROR_SUCCESS) continue;
        RegDeleteValueW(opened, value);
        RegCloseKey(opened);
    }
}

void DeleteTreeInViews(HKEY hive, const std::wstring& key)
{
    for (REGSAM view : kViews) RegDeleteTree(hive, key, view);
}

}  // namespace

void ScrubPrefixRegistry()
{
    for (const wchar_t* type : {L"Talvex", L"Talvex.ZIP", L"Talvex.REV", L".rev"})
        DeleteTreeInViews(HKEY_CLASSES_ROOT, type);
    for (const wchar_t* parent : {L"*\\shellex\\ContextMenuHandlers\\", L"Folder\\shellex\\ContextMenuHandlers\\",
                                  L"Folder\\shellex\\DragDropHandlers\\", L"Drive\\shellex\\DragDropHandlers\\",
                                  L"lnkfile\\shellex\\ContextMenuHandlers\\", L"Directory\\shellex\\ContextMenuHandlers\\",
                                  L"Directory\\shellex\\DragDropHandlers\\"})
        for (const wchar_t* name : {L"Talvex", L"Talvex32"}) DeleteTreeInViews(HKEY_CLASSES_ROOT, std::wstring(parent) + name);
    for (const wchar_t* clsid : {kShellExtensionClsid32, kShellExtensionClsid64}) {
        DeleteTreeInViews(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + clsid);
        DeleteTreeInViews(HKEY_CLASSES_ROOT, std::wstring(L"exefile\\shellex\\PropertySheetHandlers\\") + clsid);
        DeleteValueInViews(HKEY_LOCAL_MACHINE, kApproved, clsid);
    }
    DeleteValueInViews(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Talvex");
    DeleteTreeInViews(HKEY_LOCAL_MACHINE, L"Software\\Talvex");
    DeleteTreeInViews(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe");
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\Talvex");
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return L"";
    return path;
}

void RemovePrefixShortcuts()
{
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU}) {
        std::wstring folder = ShellFolder(csidl);
        if (!folder.empty()) DeleteFileW((folder + L"\\Talvex.lnk").c_str());
    }
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
        std::wstring folder = ShellFolder(csidl);
        if (!folder.empty()) DeleteTree(folder + L"\\Talvex");
    }
}

namespace {

// The Linux path of a Windows path, through Wine's own kernel32 export.
std::wstring UnixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr) return L"";
    char* unix = toUnix(path.c_str());
    if (unix == nullptr) return L"";
    std::wstring result(unix, unix + strlen(unix));
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Wine starts a Linux program without a Windows process behind it: the process information
// it hands back is not a pair of handles (closing those values would close unrelated handles
// of this process), so it is left alone and the caller waits for the program's effect.
bool RunUnixTool(const std::wstring& commandLine)
{
    std::wstring command = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

bool WaitForAttributes(const std::wstring& path, bool present)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
        Sleep(100);
    }
    return false;
}

}  // namespace

bool MakeUnixFolderLink(const std::wstring& target, const std::wstring& link)
{
    std::wstring unixTarget = UnixPath(target), unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty()) return false;
    if (!RemoveUnixFolderLink(link)) return false;  // ln would put the new link into an old one
    if (!RunUnixTool(L"Z:\\bin\\ln -s \"" + unixTarget + L"\" \"" + unixLink + L"\"")) return false;
    return WaitForAttributes(link, true);
}

bool RemoveUnixFolderLink(const std::wstring& link)
{
    DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;  // a real folder: not ours to remove
    std::wstring unixLink = UnixPath(link);
    if (unixLink.empty() || !RunUnixTool(L"Z:\\bin\\rm -f \"" + unixLink + L"\"")) return false;
    return WaitForAttributes(link, false);
}

}  // namespace tvx::test
