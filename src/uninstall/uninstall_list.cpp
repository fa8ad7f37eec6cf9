#include "uninstall/uninstall_list.h"
#include <cstring>
#include <cwchar>
#include "common/charset.h"
#include "common/fileops.h"
#include "common/paths.h"
#include "common/strings.h"

namespace tvx {

namespace {

constexpr unsigned kLastTempNumber = 999;
constexpr DWORD kBlockingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool IsListBlank(char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }

// A component of dots and blanks only, with two dots or more: ".." itself, or a spelling
// such as ".. " or "..." that the system's path trimming may turn into a parent step.
bool IsParentLikeComponent(const wchar_t* start, const wchar_t* end)
{
    int dots = 0;
    for (const wchar_t* c = start; c < end; ++c) {
        if (*c == L'.') ++dots;
        else if (*c != L' ') return false;
    }
    return dots >= 2;
}

// A component named after a device ("CON", "nul.txt", "com1 .log"): the system takes the
// part before the first dot, without trailing blanks, for the device itself wherever the
// component stands, so such an entry names no file in the folder but \\.\NUL and the like.
bool IsDeviceComponent(const wchar_t* start, const wchar_t* end)
{
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    const wchar_t* stem = start;
    while (stem < end && *stem != L'.') ++stem;
    while (stem > start && stem[-1] == L' ') --stem;
    size_t length = static_cast<size_t>(stem - start);
    for (const wchar_t* device : kDevices) {
        if (length == std::wcslen(device) && _wcsnicmp(start, device, length) == 0) return true;
    }
    // COM0 to COM9 and LPT0 to LPT9, also with the superscript digits 1, 2 and 3.
    bool port = length == 4 && (_wcsnicmp(start, L"COM", 3) == 0 || _wcsnicmp(start, L"LPT", 3) == 0);
    return port && (IsAsciiDigit(start[3]) || start[3] == 0xB9 || start[3] == 0xB2 || start[3] == 0xB3);
}

bool IsNotFoundError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsProtectedName(const wchar_t* entryPath, const wchar_t* programPath)
{
    const wchar_t* name = NamePart(entryPath);
    return CompareNames(name, NamePart(programPath)) == 0 || CompareNames(name, kFileListName) == 0;
}

// entryPath = programFolder + the line in UTF-16; false when the whole entry does not fit,
// since a cut path would name some other file.
bool MakeEntryPath(const char* line, const wchar_t* programFolder, wchar_t* entryPath)
{
    wchar_t* end = CopyText(entryPath, programFolder, kPathCapacity);
    size_t used = static_cast<size_t>(end - entryPath);
    return used + 1 < kPathCapacity && AnsiToWide(line, end, kPathCapacity - used) &&
           StaysInsideFolder(end);
}

// A listed folder that is a link (a junction or symbolic link) leads out of the product
// folder: what lies behind it belongs to somebody else, so no entry below it is touched.
// checkedFolder keeps the last parent folder found free of links; lists name the entries of
// one folder together, so most entries need no look at all.
bool LeadsThroughLink(const wchar_t* entryPath, size_t folderLength, wchar_t* checkedFolder)
{
    size_t parentLength = static_cast<size_t>(NamePart(entryPath) - entryPath);
    if (parentLength <= folderLength ||
        (std::wcsncmp(checkedFolder, entryPath, parentLength) == 0 &&
         checkedFolder[parentLength] == L'\0')) {
        return false;
    }
    wchar_t parent[kPathCapacity];
    for (size_t i = folderLength; i < parentLength; ++i) {
        if (!IsSeparator(entryPath[i])) continue;
        CopyText(parent, entryPath, i + 1);
        DWORD attributes = GetFileAttributesLong(parent);
        if (attributes != INVALID_FILE_ATTRIBUTES && IsReparsePointAttr(attributes)) return true;
    }
    CopyText(checkedFolder, entryPath, parentLength + 1);
    return false;
}

EntryOutcome ScheduleAtRestart(const wchar_t* entryPath)
{
    wchar_t tempName[kPathCapacity];
    FindFreeTempName(entryPath, tempName, kPathCapacity);
    if (!MoveFileW(entryPath, tempName)) CopyText(tempName, entryPath, kPathCapacity);
    MoveFileExW(tempName, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return EntryOutcome::Scheduled;
}

}  // namespace

void TrimListLine(char* line)
{
    size_t length = std::strlen(line);
    while (length > 0 && IsListBlank(line[length - 1])) line[--length] = '\0';
}

bool StaysInsideFolder(const wchar_t* entry)
{
    if (IsSeparator(entry[0]) || std::wcschr(entry, L':') != nullptr) return false;
    const wchar_t* start = entry;
    for (const wchar_t* c = entry;; ++c) {
        if (*c != L'\0' && !IsSeparator(*c)) continue;
        if (IsParentLikeComponent(start, c) || IsDeviceComponent(start, c)) return false;
        if (*c == L'\0') return true;
        start = c + 1;
    }
}

void FindFreeTempName(const wchar_t* path, wchar_t* tempName, size_t capacity)
{
    for (unsigned n = 0; n <= kLastTempNumber; ++n) {
        FormatText(tempName, capacity, L"%s.%u.tmp", path, n);
        if (!FileExists(tempName)) return;
    }
}

EntryOutcome DeleteListedEntry(const wchar_t* entryPath, const wchar_t* programPath)
{
    DWORD attributes = GetFileAttributesLong(entryPath);
    if (attributes == INVALID_FILE_ATTRIBUTES && IsNotFoundError(GetLastError())) {
        return EntryOutcome::Left;
    }
    // Only the attributes that stand in the way of a deletion are worth a call.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kBlockingAttributes) != 0) {
        SetFileAttributesLong(entryPath, FILE_ATTRIBUTE_NORMAL);
    }
    if (IsDirectoryAttr(attributes)) {
        return RemoveDirectoryW(entryPath) ? EntryOutcome::Deleted : EntryOutcome::FolderKept;
    }
    if (DeleteFileLong(entryPath)) return EntryOutcome::Deleted;
    if (attributes == INVALID_FILE_ATTRIBUTES || IsProtectedName(entryPath, programPath)) {
        return EntryOutcome::Left;
    }
    return ScheduleAtRestart(entryPath);
}

PassResult RunDeletionPass(FILE* list, const wchar_t* programFolder, const wchar_t* programPath,
                           GrowableArray<uint8_t>& settled)
{
    PassResult result;
    char line[kListLineCapacity];
    wchar_t entryPath[kPathCapacity], checkedFolder[kPathCapacity] = L"";
    const size_t folderLength = std::wcslen(programFolder);
    for (uint32_t index = 0; std::fgets(line, sizeof line, list) != nullptr; ++index) {
        if (index == settled.Count()) settled.Add(0);
        if (settled[index] != 0) continue;
        TrimListLine(line);
        EntryOutcome outcome = line[0] != '\0' && MakeEntryPath(line, programFolder, entryPath) &&
                                       !LeadsThroughLink(entryPath, folderLength, checkedFolder)
                                   ? DeleteListedEntry(entryPath, programPath)
                                   : EntryOutcome::Left;
        settled[index] = outcome != EntryOutcome::FolderKept;
        if (outcome == EntryOutcome::Deleted) ++result.deleted;
        if (outcome == EntryOutcome::Scheduled) result.scheduledAtReboot = true;
    }
    return result;
}

bool DeleteListedEntries(FILE* list, const wchar_t* programFolder, const wchar_t* programPath)
{
    GrowableArray<uint8_t> settled;
    bool scheduledAtReboot = false;
    for (;;) {
        PassResult pass = RunDeletionPass(list, programFolder, programPath, settled);
        scheduledAtReboot = scheduledAtReboot || pass.scheduledAtReboot;
        if (pass.deleted == 0) return scheduledAtReboot;
        std::fseek(list, 0, SEEK_SET);
    }
}

}  // namespace tvx
