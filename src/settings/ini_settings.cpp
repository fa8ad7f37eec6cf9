#include "settings/ini_settings.h"

#include <shlobj.h>
#include <algorithm>
#include <cwchar>
#include <new>
#include <utility>
#include "common/charset.h"
#include "common/errors.h"
#include "common/fileobject.h"
#include "common/fileops.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/textfile.h"

namespace tvx {

namespace {
constexpr wchar_t kIniName[] = L"Talvex.ini";
constexpr wchar_t kProductFolder[] = L"Talvex";
constexpr wchar_t kTemporarySuffix[] = L".tmp";
constexpr wchar_t kBinaryPrefix[] = L"bin:";
constexpr size_t kBinaryPrefixLength = 4;
constexpr wchar_t kAppDataFlag[] = L"Global\\AppData";
constexpr wchar_t kIntegrationFlag[] = L"Global\\Integration";
constexpr wchar_t kSaveSettingsFlag[] = L"Global\\SaveSettings";
constexpr size_t kDecimalCapacity = 20;

// Allocation failures become TVX_EXIT OutOfMemory like every other one in the program.
OwnedText CopyOwned(const wchar_t* text, size_t length)
{
    wchar_t* copy = new (std::nothrow) wchar_t[length + 1];
    if (copy == nullptr) Errors().FailNoMemory();
    wmemcpy(copy, text, length);
    copy[length] = L'\0';
    return OwnedText(copy);
}

bool Matches(const IniEntry& entry, const wchar_t* name, bool byPrefix)
{
    if (byPrefix) return wcsncmp(entry.name.get(), name, wcslen(name)) == 0;
    return wcscmp(entry.name.get(), name) == 0;
}

// The module that holds this code: the program itself, or the test program in tests.
void GetOwnModuleFolder(wchar_t* folder)
{
    folder[0] = L'\0';
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, kIniName, &module)) return;
    DWORD length = GetModuleFileNameW(module, folder, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) folder[0] = L'\0';
    else CutToFolder(folder);
}

// <application data>\Talvex, whether or not it exists; empty when the shell knows no such
// folder. The registry value and the fallbacks of GetAppDataFolder take no part here.
void GetUserProductFolder(wchar_t* folder)
{
    folder[0] = L'\0';
    CoTaskMemory list;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA,
                                          reinterpret_cast<PIDLIST_ABSOLUTE*>(list.receive())))) return;
    wchar_t shellFolder[MAX_PATH] = L"";
    if (!SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(list.get()), shellFolder) ||
        shellFolder[0] == L'\0') return;
    CopyText(folder, shellFolder, kPathCapacity);
    AddTrailingSeparator(folder, kPathCapacity);
    AppendText(folder, kProductFolder, kPathCapacity);
}

bool WriteText(FileObject& file, const wchar_t* text)
{
    return file.Write(text, static_cast<uint32_t>(wcslen(text) * sizeof(wchar_t)));
}

bool WriteEntry(FileObject& file, const IniEntry& entry)
{
    const wchar_t* opening = entry.kind == Quoted ? L"\"" : entry.kind == Binary ? kBinaryPrefix : L"";
    const wchar_t* closing = entry.kind == Quoted ? L"\"" : L"";
    return WriteText(file, entry.name.get()) && WriteText(file, L"=") && WriteText(file, opening) &&
           WriteText(file, entry.value.get()) && WriteText(file, closing) && WriteText(file, L"\r\n");
}

// One step of the load; running out of memory is recorded and ends the step, not the program.
template <typename Step>
bool CompletesWithMemory(Step step)
{
    try {
        step();
        return true;
    } catch (...) {
        Errors().ReportNoMemory();
        return false;
    }
}

bool MoveReplacing(const wchar_t* from, const wchar_t* to)
{
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(from, to, flags)) return true;
    wchar_t longFrom[kPathCapacity];
    wchar_t longTo[kPathCapacity];
    return MakeLongPath(from, longFrom, kPathCapacity) && MakeLongPath(to, longTo, kPathCapacity) &&
           MoveFileExW(longFrom, longTo, flags);
}
}  // namespace

bool ParseIniLine(const wchar_t* line, IniLine& parsed)
{
    if (!IsAsciiLetter(line[0])) return false;
    const wchar_t* equals = wcschr(line, L'=');
    if (equals == nullptr) return false;
    parsed.name = line;
    parsed.nameLength = static_cast<size_t>(equals - line);
    const wchar_t* value = equals + 1;
    size_t length = wcslen(value);
    parsed.kind = Plain;
    if (value[0] == L'"') {
        parsed.kind = Quoted;
        ++value;
        --length;
        if (length > 0 && value[length - 1] == L'"') --length;
    } else if (wcsncmp(value, kBinaryPrefix, kBinaryPrefixLength) == 0) {
        parsed.kind = Binary;
        value += kBinaryPrefixLength;
        length -= kBinaryPrefixLength;
    }
    parsed.value = value;
    parsed.valueLength = length;
    return true;
}

IniSettings& Ini()
{
    static IniSettings settings;
    return settings;
}

// The save at exit reports write failures to the error reporter, so the reporter is made
// first and therefore destroyed after this object.
IniSettings::IniSettings() { Errors(); }

IniSettings::~IniSettings()
{
    try {
        Save();
    } catch (...) {
        // Memory ran out while sorting: FailNoMemory has recorded it, and the old file stands.
    }
    Release();
}

bool IniSettings::Serves(HKEY hive, const wchar_t* key)
{
    Load();
    if (!inUse_) return false;
    if (hive != nullptr && hive != HKEY_CURRENT_USER && hive != HKEY_LOCAL_MACHINE) return false;
    return key[0] != L'\\';
}

bool IniSettings::MakeEntryName(HKEY hive, const wchar_t* key, const wchar_t* value, wchar_t* output)
{
    if (!Serves(hive, key)) return false;
    const wchar_t* hiveName = hive == HKEY_CURRENT_USER ? L"HKCU\\" : hive == HKEY_LOCAL_MACHINE ? L"HKLM\\" : L"";
    wchar_t keyName[kEntryNameCapacity];
    CopyText(keyName, hiveName, kEntryNameCapacity);
    AppendText(keyName, key, kEntryNameCapacity);
    JoinPath(keyName, value, output, kEntryNameCapacity);
    return true;
}

const wchar_t* IniSettings::Find(const wchar_t* name) const
{
    for (const IniEntry* entry = entries_; entry != nullptr; entry = entry->next)
        if (Matches(*entry, name, false)) return entry->value.get();
    return nullptr;
}

DWORD IniSettings::FindNumber(const wchar_t* name, DWORD defaultNumber) const
{
    const wchar_t* text = Find(name);
    return text == nullptr ? defaultNumber : static_cast<DWORD>(DecimalToInt64(text));
}

void IniSettings::Set(const wchar_t* name, const wchar_t* value, IniValueKind kind)
{
    for (IniEntry* entry = entries_; entry != nullptr; entry = entry->next) {
        if (!Matches(*entry, name, false)) continue;
        entry->value = CopyOwned(value, wcslen(value));
        entry->kind = kind;
        return;
    }
    Append(name, wcslen(name), value, wcslen(value), kind);
}

void IniSettings::SetNumber(const wchar_t* name, DWORD number)
{
    wchar_t text[kDecimalCapacity];
    Int64ToDecimal(number, text, kDecimalCapacity);
    Set(name, text, Plain);
}

void IniSettings::Remove(const wchar_t* name, bool byPrefix)
{
    for (IniEntry** link = &entries_; *link != nullptr;) {
        IniEntry* entry = *link;
        if (!Matches(*entry, name, byPrefix)) {
            link = &entry->next;
            continue;
        }
        *link = entry->next;
        delete entry;
    }
}

bool IniSettings::Contains(const wchar_t* name, bool byPrefix) const
{
    for (const IniEntry* entry = entries_; entry != nullptr; entry = entry->next)
        if (Matches(*entry, name, byPrefix)) return true;
    return false;
}

bool IniSettings::Save()
{
    FileObject file;
    return SaveWith(file);
}

bool IniSettings::SaveWith(FileObject& file)
{
    if (!inUse_ || !saveSettingsEnabled_ || loadIncomplete_) return false;
    wchar_t temporary[kPathCapacity];
    if (wcslen(path_) + wcslen(kTemporarySuffix) >= kPathCapacity) return false;
    CopyText(temporary, path_, kPathCapacity);
    AppendText(temporary, kTemporarySuffix, kPathCapacity);

    GrowableArray<IniEntry*> sorted;
    for (IniEntry* entry = entries_; entry != nullptr; entry = entry->next) sorted.Add(entry);
    // Stable, so that of two entries with one name the one that reads win stays first.
    std::stable_sort(sorted.Data(), sorted.Data() + sorted.Count(), [](const IniEntry* a, const IniEntry* b) {
        return wcscmp(a->name.get(), b->name.get()) < 0;
    });

    if (!file.Create(temporary, true)) return false;
    if (WriteEntries(file, sorted) && file.Close() && MoveReplacing(temporary, path_)) return true;
    file.Delete();
    return false;
}

bool IniSettings::WriteEntries(FileObject& file, GrowableArray<IniEntry*>& sorted)
{
    const unsigned char signature[] = {0xFF, 0xFE};
    if (!file.Write(signature, sizeof signature)) return false;
    for (uint32_t i = 0; i < sorted.Count(); ++i)
        if (!WriteEntry(file, *sorted[i])) return false;
    return true;
}

void IniSettings::Release()
{
    loadAttempted_ = false;
    FreeEntries();
    inUse_ = false;
    loadIncomplete_ = false;
}

void IniSettings::UseFoldersForTesting(const wchar_t* programFolder, const wchar_t* userFolder)
{
    Release();
    appDataFlag_ = integrationEnabled_ = saveSettingsEnabled_ = true;
    path_[0] = L'\0';
    CopyText(programFolderForTesting_, programFolder != nullptr ? programFolder : L"", kPathCapacity);
    CopyText(userFolderForTesting_, userFolder != nullptr ? userFolder : L"", kPathCapacity);
}

void IniSettings::Load()
{
    if (inUse_ || loadAttempted_) return;
    loadAttempted_ = true;
    FindFile();
    if (path_[0] == L'\0' || !FileExists(path_)) return;
    // Memory running out while the lines are read leaves those gathered so far in the list,
    // and they are used like the entries made before it runs out while parsing.
    LineList lines;
    bool opened = true;
    bool whole = CompletesWithMemory([&] { opened = LoadTextLines(path_, lines); });
    if (!opened) return;
    whole = CompletesWithMemory([&] { ParseLines(lines); }) && whole;
    loadIncomplete_ = !whole;
    inUse_ = true;
    ReadGlobalFlags();
}

// Beside the program first, then in the user's product folder, which is never created here.
void IniSettings::FindFile()
{
    wchar_t folder[kPathCapacity];
    if (programFolderForTesting_[0] != L'\0') CopyText(folder, programFolderForTesting_, kPathCapacity);
    else GetOwnModuleFolder(folder);
    path_[0] = L'\0';
    if (folder[0] != L'\0') JoinPath(folder, kIniName, path_, kPathCapacity);
    if (path_[0] != L'\0' && FileExists(path_)) return;

    if (userFolderForTesting_[0] != L'\0') CopyText(folder, userFolderForTesting_, kPathCapacity);
    else GetUserProductFolder(folder);
    if (folder[0] != L'\0' && FileExists(folder)) JoinPath(folder, kIniName, path_, kPathCapacity);
}

void IniSettings::ParseLines(LineList& lines)
{
    const wchar_t* line = nullptr;
    IniLine parsed;
    while (lines.Next(line))
        if (ParseIniLine(line, parsed))
            Append(parsed.name, parsed.nameLength, parsed.value, parsed.valueLength, parsed.kind);
}

void IniSettings::Append(const wchar_t* name, size_t nameLength, const wchar_t* value, size_t valueLength,
                         IniValueKind kind)
{
    OwnedText ownedName = CopyOwned(name, nameLength);
    OwnedText ownedValue = CopyOwned(value, valueLength);
    IniEntry* entry = new (std::nothrow) IniEntry;
    if (entry == nullptr) Errors().FailNoMemory();
    entry->name = std::move(ownedName);
    entry->value = std::move(ownedValue);
    entry->kind = kind;
    IniEntry** link = &entries_;
    while (*link != nullptr) link = &(*link)->next;
    *link = entry;
}

// The flags are written back at once, so that the saved file always shows them.
void IniSettings::ReadGlobalFlags()
{
    appDataFlag_ = FindNumber(kAppDataFlag, 1) != 0;
    integrationEnabled_ = FindNumber(kIntegrationFlag, 1) != 0;
    saveSettingsEnabled_ = FindNumber(kSaveSettingsFlag, 1) != 0;
    SetNumber(kAppDataFlag, appDataFlag_ ? 1 : 0);
    SetNumber(kIntegrationFlag, integrationEnabled_ ? 1 : 0);
    SetNumber(kSaveSettingsFlag, saveSettingsEnabled_ ? 1 : 0);
}

void IniSettings::FreeEntries()
{
    while (entries_ != nullptr) delete std::exchange(entries_, entries_->next);
}

}  // namespace tvx
