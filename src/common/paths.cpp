#include "common/paths.h"
#include <shlobj.h>
#include <cwchar>
#include "common/charset.h"
#include "common/fileops.h"
#include "common/handles.h"
#include "common/strings.h"

namespace tvx {

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr size_t kLongPrefixLength = 4;
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC";
constexpr wchar_t kPathsKey[] = L"Software\\Talvex\\Paths";
constexpr wchar_t kAppDataValue[] = L"AppData";
constexpr wchar_t kDataFolderName[] = L"Talvex";

// -1 until the first call of WindowsVersion.
long cachedPlatform = -1;
unsigned cachedMajor = 0;
unsigned cachedMinor = 0;

bool HasLongPrefix(const wchar_t* path)
{
    return std::wcsncmp(path, kLongPrefix, kLongPrefixLength) == 0;
}

bool StartsWithTwoBackslashes(const wchar_t* path)
{
    return path[0] == L'\\' && path[1] == L'\\';
}

// The current folder with a limit of 2047 characters; false when it cannot be read whole.
bool ReadCurrentFolder(wchar_t (&folder)[kPathCapacity])
{
    DWORD length = GetCurrentDirectoryW(kPathCapacity, folder);
    return length != 0 && length < kPathCapacity;
}

bool MakeLongRelativePath(const wchar_t* path, size_t length, wchar_t* output, size_t capacity)
{
    wchar_t folder[kPathCapacity];
    if (!ReadCurrentFolder(folder)) return false;
    if (IsSeparator(path[0])) {
        // Root-relative: only a drive-letter current folder names the root's drive.
        if (!IsDrivePrefix(folder) || length + 6 >= capacity) return false;
        CopyText(output, kLongPrefix, capacity);
        folder[2] = L'\0';
        AppendText(output, folder, capacity);
    } else {
        AddTrailingSeparator(folder, kPathCapacity);
        if (std::wcslen(folder) + length + kLongPrefixLength >= capacity) return false;
        CopyText(output, kLongPrefix, capacity);
        AppendText(output, folder, capacity);
        if (path[0] == L'.' && IsSeparator(path[1])) path += 2;
    }
    AppendText(output, path, capacity);
    return true;
}

// The AppData value, or the empty text. A value stored without a terminator is accepted when
// there is room to add one; one that fills the whole buffer is taken as too long rather than
// cut, since a cut path could name another, existing folder.
void ReadAppDataValue(wchar_t* output, size_t capacity)
{
    output[0] = L'\0';
    RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPathsKey, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS)
        return;
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(capacity * sizeof(wchar_t));
    LONG status = RegQueryValueExW(key.get(), kAppDataValue, nullptr, &type,
                                   reinterpret_cast<BYTE*>(output), &size);
    bool text = type == REG_SZ || type == REG_EXPAND_SZ;
    size_t count = size / sizeof(wchar_t);
    if (status != ERROR_SUCCESS || !text || count > capacity) {
        output[0] = L'\0';
        return;
    }
    if (std::wmemchr(output, L'\0', count) != nullptr) return;
    output[count < capacity ? count : 0] = L'\0';
}

// <user application data>\Talvex when it exists or could be created; false otherwise.
bool FindShellDataFolder(wchar_t* output, size_t capacity, bool create)
{
    wchar_t folder[kPathCapacity] = L"";
    {
        CoTaskMemory list;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA,
                                              reinterpret_cast<LPITEMIDLIST*>(list.receive()))))
            return false;
        // SHGetPathFromIDListW assumes MAX_PATH characters of room.
        if (!SHGetPathFromIDListW(static_cast<LPCITEMIDLIST>(list.get()), folder)) return false;
    }
    if (folder[0] == L'\0') return false;
    AddTrailingSeparator(folder, kPathCapacity);
    AppendText(folder, kDataFolderName, kPathCapacity);
    if (std::wcslen(folder) >= capacity) return false;
    if (!FileExists(folder) && !(create && CreateDirectoryLong(folder, false, 0) == DirectoryCreated))
        return false;
    CopyText(output, folder, capacity);
    return true;
}

}  // namespace

unsigned WindowsVersion()
{
    if (cachedPlatform == -1) {
        static_assert(sizeof(OSVERSIONINFOW) == 276, "the plain record, accepted by every version");
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        GetVersionExW(&info);
        cachedPlatform = static_cast<long>(info.dwPlatformId);
        cachedMajor = info.dwMajorVersion;
        cachedMinor = info.dwMinorVersion;
    }
    if (cachedPlatform != VER_PLATFORM_WIN32_NT) return 0x0501;
    return cachedMajor * 256 + cachedMinor;
}

void ResetWindowsVersionCache() { cachedPlatform = -1; }

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDrivePrefix(const wchar_t* path)
{
    wchar_t letter = UpperCaseChar(path[0]);
    return letter >= L'A' && letter <= L'Z' && path[1] == L':';
}

bool IsAbsolutePath(const wchar_t* path)
{
    return StartsWithTwoBackslashes(path) || (IsDrivePrefix(path) && IsSeparator(path[2]));
}

bool HasWildcards(const wchar_t* path)
{
    if (path == nullptr) return false;
    if (HasLongPrefix(path)) path += kLongPrefixLength;
    return std::wcspbrk(path, L"*?") != nullptr;
}

const wchar_t* LastChar(const wchar_t* path)
{
    size_t length = std::wcslen(path);
    return length == 0 ? path : path + length - 1;
}

wchar_t* LastChar(wchar_t* path)
{
    return path + (LastChar(static_cast<const wchar_t*>(path)) - path);
}

const wchar_t* NamePart(const wchar_t* path)
{
    const wchar_t* name = path;
    if (path[0] != L'\0' && path[1] == L':') name = path + 2;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (IsSeparator(*p)) name = p + 1;
    }
    return name;
}

wchar_t* NamePart(wchar_t* path)
{
    return path + (NamePart(static_cast<const wchar_t*>(path)) - path);
}

wchar_t* CutToFolder(wchar_t* path)
{
    wchar_t* cut = NamePart(path);
    ptrdiff_t offset = cut - path;
    // Step back onto the separator, except after a drive root ("C:\") or a lone leading one.
    if (offset >= 2 && (path[1] != L':' || offset >= 4)) --cut;
    *cut = L'\0';
    return cut;
}

void ReplaceNamePart(wchar_t* path, const wchar_t* name, size_t capacity)
{
    wchar_t* namePart = NamePart(path);
    size_t used = static_cast<size_t>(namePart - path);
    if (used < capacity) CopyText(namePart, name, capacity - used);
}

void GetFolderPart(const wchar_t* path, wchar_t* output, size_t capacity)
{
    if (capacity == 0) return;
    size_t length = static_cast<size_t>(NamePart(path) - path);
    if (length > capacity - 1) length = capacity - 1;
    std::wmemmove(output, path, length);
    output[length] = L'\0';
}

size_t AddTrailingSeparator(wchar_t* path, size_t capacity)
{
    size_t length = std::wcslen(path);
    if (length != 0 && path[length - 1] != L'\\' && length + 1 < capacity) {
        path[length] = L'\\';
        path[length + 1] = L'\0';
    }
    return length;
}

void JoinPath(const wchar_t* folder, const wchar_t* name, wchar_t* output, size_t capacity)
{
    wchar_t joined[kPathCapacity];
    CopyText(joined, folder, kPathCapacity);
    bool bareDrive = IsDrivePrefix(joined) && joined[2] == L'\0';
    if (!bareDrive) AddTrailingSeparator(joined, kPathCapacity);
    AppendText(joined, name, kPathCapacity);
    CopyText(output, joined, capacity);
}

bool MakeLongPath(const wchar_t* path, wchar_t* output, size_t capacity)
{
    size_t length = std::wcslen(path);
    // A path already in the extended-length form has no other form to retry with.
    if (length == 0 || HasLongPrefix(path)) return false;
    if (IsDrivePrefix(path) && IsSeparator(path[2])) {
        if (length + kLongPrefixLength >= capacity) return false;
        CopyText(output, kLongPrefix, capacity);
        AppendText(output, path, capacity);
        return true;
    }
    if (StartsWithTwoBackslashes(path)) {
        if (length + 6 >= capacity) return false;
        CopyText(output, kLongUncPrefix, capacity);
        AppendText(output, path + 1, capacity);
        return true;
    }
    return MakeLongRelativePath(path, length, output, capacity);
}

void GetAppDataFolder(wchar_t* output, size_t capacity, bool create)
{
    if (capacity == 0) return;
    ReadAppDataValue(output, capacity);
    if (output[0] != L'\0' && FileExists(output)) return;
    if (FindShellDataFolder(output, capacity, create)) return;
    GetProgramPath(output, capacity);
    CutToFolder(output);
}

void GetProgramPath(wchar_t* output, size_t capacity)
{
    if (capacity == 0) return;
    DWORD length = GetModuleFileNameW(nullptr, output, static_cast<DWORD>(capacity));
    // Before Vista a path that fills the buffer comes back without its terminator.
    if (length >= capacity) length = static_cast<DWORD>(capacity - 1);
    output[length] = L'\0';
}

}  // namespace tvx
