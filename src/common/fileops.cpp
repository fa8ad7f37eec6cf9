#include "common/fileops.h"
#include "common/charset.h"

namespace tvx {

namespace {

FindFirstFileFunction findFirstFile = &FindFirstFileW;

// The system drops trailing dots and blanks from a plain path, so such names exist only in
// the extended-length form.
bool EndsWithDotOrBlank(const wchar_t* path)
{
    wchar_t last = *LastChar(path);
    return last == L'.' || IsBlank(last);
}

bool IsEndOfSearch(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES;
}

void FillEntry(const wchar_t* mask, const WIN32_FIND_DATAW& data, FoundEntry& entry)
{
    CopyText(entry.name, mask, kPathCapacity);
    ReplaceNamePart(entry.name, data.cFileName, kPathCapacity);
    entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.attributes = data.dwFileAttributes;
    entry.isDirectory = IsDirectoryAttr(data.dwFileAttributes);
    entry.isReparsePoint = IsReparsePointAttr(data.dwFileAttributes);
    entry.rawCreated = data.ftCreationTime;
    entry.rawAccessed = data.ftLastAccessTime;
    entry.rawModified = data.ftLastWriteTime;
    entry.created = FileTimeToNanoseconds(data.ftCreationTime);
    entry.accessed = FileTimeToNanoseconds(data.ftLastAccessTime);
    entry.modified = FileTimeToNanoseconds(data.ftLastWriteTime);
}

// The first search call: on success the handle holds the open search.
bool SearchFirst(const wchar_t* mask, FindHandle& handle, FoundEntry& entry)
{
    WIN32_FIND_DATAW data;
    HANDLE found = WithLongPathRetry(mask, INVALID_HANDLE_VALUE, [&data](const wchar_t* path) {
        return findFirstFile(path, &data);
    });
    if (found == INVALID_HANDLE_VALUE) {
        if (!IsEndOfSearch(GetLastError())) entry.error = true;
        return false;
    }
    handle.reset(found);
    FillEntry(mask, data, entry);
    return true;
}

bool SearchNext(const wchar_t* mask, const FindHandle& handle, FoundEntry& entry)
{
    if (!handle.valid()) return false;  // closed: nothing more, and no failure either
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(handle.get(), &data)) {
        if (GetLastError() != ERROR_NO_MORE_FILES) entry.error = true;
        return false;
    }
    FillEntry(mask, data, entry);
    return true;
}

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

}  // namespace

DWORD GetFileAttributesLong(const wchar_t* path)
{
    return WithLongPathRetry(path, INVALID_FILE_ATTRIBUTES, &GetFileAttributesW);
}

bool FileExists(const wchar_t* path) { return GetFileAttributesLong(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectoryAttr(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReparsePointAttr(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool DeleteFileLong(const wchar_t* path)
{
    return WithLongPathRetry(path, FALSE, &DeleteFileW) != FALSE;
}

bool SetFileAttributesLong(const wchar_t* path, DWORD attributes)
{
    return WithLongPathRetry(path, FALSE, [attributes](const wchar_t* form) {
               return SetFileAttributesW(form, attributes);
           }) != FALSE;
}

// A name with a trailing dot or blank goes straight to the extended-length form; any other
// goes there only when the plain call failed. The long form is tried without first asking
// whether the path exists: for a name ending in a dot that question would be answered for
// the name without its dot. An existing folder fails there with ERROR_ALREADY_EXISTS.
int CreateDirectoryLong(const wchar_t* path, bool setAttributes, DWORD attributes)
{
    wchar_t longPath[kPathCapacity];
    const wchar_t* created = nullptr;
    DWORD error = ERROR_INVALID_NAME;
    if (!EndsWithDotOrBlank(path)) {
        if (CreateDirectoryW(path, nullptr)) created = path;
        else error = GetLastError();
    }
    if (created == nullptr && MakeLongPath(path, longPath, kPathCapacity)) {
        if (CreateDirectoryW(longPath, nullptr)) created = longPath;
        else error = GetLastError();
    }
    if (created == nullptr) {
        SetLastError(error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ParentMissing
                                                                               : DirectoryFailed;
    }
    // Through the form that made it: the plain form of "name." is another folder.
    if (setAttributes) SetFileAttributesLong(created, attributes);
    return DirectoryCreated;
}

uint64_t GetFreeSpace(const wchar_t* path)
{
    wchar_t folder[kPathCapacity];
    GetFolderPart(path, folder, kPathCapacity);
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExW(folder[0] != L'\0' ? folder : nullptr, &available, &total, &totalFree))
        return 0;
    if (available.HighPart > totalFree.HighPart) return 0;
    return available.QuadPart;
}

bool FindSingle(const wchar_t* path, FoundEntry& entry)
{
    entry.error = false;
    if (HasWildcards(path)) return false;
    FindHandle handle;
    return SearchFirst(path, handle, entry);
}

void DirectoryScanner::SetMask(const wchar_t* mask)
{
    handle_.reset();
    CopyText(mask_, mask, kPathCapacity);
    firstCall_ = true;
}

bool DirectoryScanner::Next(FoundEntry& entry)
{
    for (;;) {
        entry.error = false;
        if (mask_[0] == L'\0') return false;
        bool found = firstCall_ ? SearchFirst(mask_, handle_, entry) : SearchNext(mask_, handle_, entry);
        if (!found) return false;
        firstCall_ = false;
        if (!IsDotEntry(NamePart(entry.name))) return true;
    }
}

void DirectoryScanner::Close() { handle_.reset(); }

void SetFindFirstFileForTesting(FindFirstFileFunction function)
{
    findFirstFile = function != nullptr ? function : &FindFirstFileW;
}

}  // namespace tvx
