// The INI-file backend of the settings store: when Talvex.ini lies beside the program or in
// the per-user data folder, the program's own settings live in it. SettingsStore asks it first
// on every operation; the file is loaded on the first question and written back at exit.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include "common/growable_array.h"
#include "common/strings.h"

namespace tvx {

class FileObject;
class LineList;

constexpr size_t kEntryNameCapacity = 1024;

enum IniValueKind : uint32_t { Plain = 0, Quoted = 1, Binary = 2 };

// One line of the file, taken apart without copying: what lies between the name and the
// value marks ("=", quotes, "bin:") is given by position and length.
struct IniLine {
    const wchar_t* name = nullptr;
    size_t nameLength = 0;
    const wchar_t* value = nullptr;
    size_t valueLength = 0;
    IniValueKind kind = Plain;
};

// False for a line that is no entry (it must start with an ASCII letter and hold a '=').
bool ParseIniLine(const wchar_t* line, IniLine& parsed);

using OwnedText = std::unique_ptr<wchar_t[]>;

struct IniEntry {
    OwnedText name;
    OwnedText value;
    IniValueKind kind = Plain;
    IniEntry* next = nullptr;
};

class IniSettings {
public:
    IniSettings();
    ~IniSettings();  // saves and releases: the file is written back when the process ends
    IniSettings(const IniSettings&) = delete;
    IniSettings& operator=(const IniSettings&) = delete;

    // The first call looks for the file and loads it.
    bool Serves(HKEY hive, const wchar_t* key);
    // output holds kEntryNameCapacity characters; built only when Serves is true.
    bool MakeEntryName(HKEY hive, const wchar_t* key, const wchar_t* value, wchar_t* output);
    const wchar_t* Find(const wchar_t* name) const;  // nullptr when there is none
    // The first entry's value as a decimal number, low 32 bits; the default when there is none.
    DWORD FindNumber(const wchar_t* name, DWORD defaultNumber) const;
    void Set(const wchar_t* name, const wchar_t* value, IniValueKind kind);
    void SetNumber(const wchar_t* name, DWORD number);  // as Plain decimal text
    void Remove(const wchar_t* name, bool byPrefix);
    bool Contains(const wchar_t* name, bool byPrefix) const;
    // Writes a new file beside the old one and puts it in place only once it is complete, so
    // a failed save leaves the old file as it was. False when nothing was replaced.
    bool Save();
    bool SaveWith(FileObject& file);  // Save through the given file object (tests make it fail)
    void Release();

    bool IsInUse() const { return inUse_; }
    bool IsIntegrationEnabled() const { return integrationEnabled_; }
    const wchar_t* Path() const { return path_; }

    // Forgets everything without saving; from the next question on the file is looked for
    // in these folders instead of the program's and the user's (nullptr: the real one).
    void UseFoldersForTesting(const wchar_t* programFolder, const wchar_t* userFolder);

private:
    void Load();
    void FindFile();
    void ParseLines(LineList& lines);
    void Append(const wchar_t* name, size_t nameLength, const wchar_t* value, size_t valueLength,
                IniValueKind kind);
    void ReadGlobalFlags();
    bool WriteEntries(FileObject& file, GrowableArray<IniEntry*>& sorted);
    void FreeEntries();

    IniEntry* entries_ = nullptr;
    bool inUse_ = false;
    bool loadAttempted_ = false;
    // A load cut short by memory exhaustion: what was read is used but never written back,
    // since the file would lose the entries that were not read.
    bool loadIncomplete_ = false;
    bool appDataFlag_ = true;
    bool integrationEnabled_ = true;
    bool saveSettingsEnabled_ = true;
    wchar_t path_[kPathCapacity] = L"";
    wchar_t programFolderForTesting_[kPathCapacity] = L"";
    wchar_t userFolderForTesting_[kPathCapacity] = L"";
};

IniSettings& Ini();

}  // namespace tvx
