// The translations loaded from uninstall.lng, looked up by key, and the table of every key
// the program knows with its string number or control id. One process-wide table, loaded
// once at start-up before any window exists.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include "common/growable_array.h"

namespace tvx {

struct LanguageKey {
    const char* key;  // "s:IDS_..." or "$DIALOG:CONTROL"
    uint32_t id;      // string number, control id, or 0 for SIZE and CAPTION
};

constexpr uint32_t kLanguageKeyCount = 98;
extern const LanguageKey LanguageKeyTable[kLanguageKeyCount];

struct LanguageEntry {
    char* key;
    wchar_t* text;
    uint32_t length;
};

class LanguageTable {
public:
    ~LanguageTable() { Release(); }
    void Load(const wchar_t* fileName);
    void Release();
    bool FindText(const char* key, wchar_t* out, size_t capacity) const;
    bool FindKeyForId(const char* section, uint32_t id, char* out, size_t capacity) const;
    bool IsRightToLeft() const { return rightToLeft_; }

private:
    // members are the implementer's
    GrowableArray<uint32_t> keysByName_;
    GrowableArray<uint32_t> keysBySection_;
    GrowableArray<LanguageEntry> entries_;
    GrowableArray<uint32_t> entriesByKey_;
    bool rightToLeft_ = false;
};

LanguageTable& Languages();

}  // namespace tvx
