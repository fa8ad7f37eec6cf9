// The translations loaded from uninstall.lng, looked up by key, and the table of every key
// the program knows with its string number or control id. One process-wide table, loaded
// once at start-up before any window exists.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include "common/growable_array.h"

namespace tvx {

class FileObject;

struct LanguageKey {
    const char* key;  // "s:IDS_..." or "$DIALOG:CONTROL"
    uint32_t id;      // string number, control id, or 0 for SIZE and CAPTION
};

// The string keys in string-number order, then the dialog keys of SETUPDLG, DONEDLG and
// SETUPCONTEXTITEMS, each dialog's rows in the order its control texts are applied.
constexpr uint32_t kLanguageKeyCount = 98;
extern const LanguageKey LanguageKeyTable[kLanguageKeyCount];

struct LanguageEntry {
    char* key;      // section prefix and key name, at most 49 bytes
    wchar_t* text;  // value after escapes and trimming, at most 65,536 characters
};

class LanguageTable {
public:
    LanguageTable() = default;
    LanguageTable(const LanguageTable&) = delete;
    LanguageTable& operator=(const LanguageTable&) = delete;
    ~LanguageTable() { Release(); }

    // fileName is looked for in the language folder first, then beside the program when it
    // holds no backslash. A missing or unusable file leaves the table empty. A right-to-left
    // language (the file's :DIRECTION RTL or the resource module's RTL dialog marker) makes
    // the process default layout right to left.
    void Load(const wchar_t* fileName);
    // Load reading through the given file object (tests make its reads fail).
    void LoadWith(FileObject& file, const wchar_t* fileName);
    void Release();
    // Copies the text bounded to capacity (terminated); out untouched when not found.
    bool FindText(const char* key, wchar_t* out, size_t capacity) const;
    // The key-table key in section (the part before ':') with this id, bounded to capacity.
    bool FindKeyForId(const char* section, uint32_t id, char* out, size_t capacity) const;
    bool IsRightToLeft() const { return rightToLeft_; }

private:
    void SortKeyIndexes();
    void LoadFromFile(FileObject& file);
    void SortEntries();

    GrowableArray<uint32_t> keysBySection_;
    GrowableArray<LanguageEntry> entries_;
    GrowableArray<uint32_t> entriesByKey_;
    bool rightToLeft_ = false;
};

LanguageTable& Languages();

}  // namespace tvx
