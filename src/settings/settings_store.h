// Every read, write and deletion of settings and shell-integration data. Keys in
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE without a leading backslash are relative to
// Software\Talvex; a leading backslash makes them absolute; other hives take keys as given.
// The program's own settings go to Talvex.ini instead when that file is in use.
// Reads fall back to defaults, writes return a Win32 status (0 also when the INI file took
// the value or the write was suppressed), deletions swallow failures.
#pragma once
#include <windows.h>
#include <cstddef>
#include "common/handles.h"

namespace tvx {

class SettingsStore {
public:
    bool KeyExists(HKEY hive, const wchar_t* key);
    DWORD ReadNumber(HKEY hive, const wchar_t* key, const wchar_t* value, DWORD defaultNumber);
    // The buffer always receives a terminated text; false only when the registry was asked
    // and the key or value could not be read (the buffer then holds the default).
    bool ReadString(HKEY hive, const wchar_t* key, const wchar_t* value, wchar_t* buffer,
                    const wchar_t* defaultText, size_t capacity);
    LONG WriteString(HKEY hive, const wchar_t* key, const wchar_t* value, const wchar_t* text);
    LONG WriteNumber(HKEY hive, const wchar_t* key, const wchar_t* value, DWORD number);
    // Key tests and deletions act in the default view, whatever SetRegistryView selected.
    void DeleteValue(HKEY hive, const wchar_t* key, const wchar_t* value);
    void DeleteKey(HKEY hive, const wchar_t* key);
    // A plain key deletion in the view selected with SetRegistryView.
    void DeleteKeyInView(HKEY hive, const wchar_t* key);
    void DeleteKeyTree(HKEY hive, const wchar_t* key);
    void SetRegistryView(DWORD accessBits);
    bool IsIntegrationEnabled() const;
    bool SaveSettingsFile();

    DWORD ReadUserNumber(const wchar_t* key, const wchar_t* value, DWORD defaultNumber);
    bool ReadUserString(const wchar_t* key, const wchar_t* value, wchar_t* buffer,
                        const wchar_t* defaultText, size_t capacity);
    LONG WriteUserString(const wchar_t* key, const wchar_t* value, const wchar_t* text);
    LONG WriteUserNumber(const wchar_t* key, const wchar_t* value, DWORD number);
    void DeleteUserValue(const wchar_t* key, const wchar_t* value);

private:
    LONG OpenKeyForReading(HKEY hive, const wchar_t* key, RegKey& opened) const;
    LONG CreateKeyForWriting(HKEY hive, const wchar_t* key, RegKey& created) const;
    LONG SetValue(HKEY hive, const wchar_t* key, const wchar_t* value, DWORD type, const void* data,
                  DWORD size) const;
    void DeleteTreePass(HKEY hive, const wchar_t* path);

    DWORD viewBits_ = 0;  // added to reading opens and writing creates only
    DWORD deletedCount_ = 0;
};

constexpr size_t kKeyPathCapacity = 512;

// The registry path of a key: relative keys of HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE below
// Software\Talvex, cut at kKeyPathCapacity - 1 characters.
void MakeKeyPath(HKEY hive, const wchar_t* key, wchar_t* output);

SettingsStore& Settings();

// Seam for tests of the access-denied stops: when set, every registry write (value set or
// key create) whose key path starts with the given prefix, in the given hive, fails with
// ERROR_ACCESS_DENIED before reaching the registry, and every deletion there does nothing.
// Up to two such rules add up (the machine hive and its classes); nullptr hive clears them.
void DenyRegistryWritesForTesting(HKEY hive, const wchar_t* pathPrefix);

}  // namespace tvx
