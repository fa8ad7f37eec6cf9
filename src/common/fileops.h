// Thin wrappers over the Windows file functions. Each that takes a path tries it unchanged
// first and, when that fails, once more in its extended-length form, so paths beyond the
// classic 260-character limit work. None reports to the user.
#pragma once
#include <windows.h>
#include <cstdint>
#include "common/handles.h"
#include "common/paths.h"
#include "common/strings.h"

namespace tvx {

// Runs call(path); when it gives failed, runs it once more with the extended-length form.
// The first call's last error stands when that form cannot be built.
template <typename Result, typename Call>
Result WithLongPathRetry(const wchar_t* path, Result failed, Call call)
{
    Result result = call(path);
    if (result != failed) return result;
    DWORD error = GetLastError();
    wchar_t longPath[kPathCapacity];
    if (!MakeLongPath(path, longPath, kPathCapacity)) {
        SetLastError(error);
        return result;
    }
    return call(longPath);
}

DWORD GetFileAttributesLong(const wchar_t* path);
bool FileExists(const wchar_t* path);
bool IsDirectoryAttr(DWORD attributes);
bool IsReparsePointAttr(DWORD attributes);
bool DeleteFileLong(const wchar_t* path);
bool SetFileAttributesLong(const wchar_t* path, DWORD attributes);

enum CreateDirectoryResult { DirectoryCreated = 0, DirectoryFailed = 1, ParentMissing = 2 };
int CreateDirectoryLong(const wchar_t* path, bool setAttributes, DWORD attributes);

// winbase.h still carries a 16-bit era macro of this name.
#undef GetFreeSpace
// Bytes available to the caller on the volume of the path's folder; 0 on failure.
uint64_t GetFreeSpace(const wchar_t* path);

struct FoundEntry {
    wchar_t name[kPathCapacity] = L"";  // the mask with its name part replaced by the found name
    uint64_t size = 0;
    DWORD attributes = 0;
    bool isDirectory = false;
    bool isReparsePoint = false;
    int64_t modified = 0, created = 0, accessed = 0;  // nanoseconds since 1601
    FILETIME rawCreated{}, rawAccessed{}, rawModified{};
    bool error = false;  // the last search failed for another reason than "nothing (more)"
};

bool FindSingle(const wchar_t* path, FoundEntry& entry);

// Lists the entries matching a wildcard mask, "." and ".." left out.
class DirectoryScanner {
public:
    void SetMask(const wchar_t* mask);
    bool Next(FoundEntry& entry);
    void Close();

private:
    wchar_t mask_[kPathCapacity] = L"";
    bool firstCall_ = true;
    FindHandle handle_;
};

// Seam for tests: replaces FindFirstFileW, the one call Wine cannot make fail for lack of
// rights. nullptr restores the system function.
using FindFirstFileFunction = HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW);
void SetFindFirstFileForTesting(FindFirstFileFunction function);

}  // namespace tvx
