#include "settings/settings_store.h"

#include <cwchar>
#include "common/strings.h"
#include "settings/ini_settings.h"

namespace tvx {

namespace {
constexpr wchar_t kProgramRoot[] = L"Software\\Talvex";
constexpr REGSAM kReadingAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;  // 0x0009
constexpr DWORD kSubkeyNameCapacity = 200;

enum class Route { File, Suppressed, Registry };

// Every operation asks the INI file first; what it does not serve is left alone when the file
// has switched the registry off.
Route RouteOf(HKEY hive, const wchar_t* key, const wchar_t* value, wchar_t* entry)
{
    if (Ini().MakeEntryName(hive, key, value, entry)) return Route::File;
    return Ini().IsIntegrationEnabled() ? Route::Registry : Route::Suppressed;
}

// The INI side of the key deletions; true when the registry must act on the path.
bool KeyDeletionReachesRegistry(HKEY hive, const wchar_t* key, wchar_t* path)
{
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, L"", entry);
    if (route == Route::File) Ini().Remove(entry, true);
    if (route != Route::Registry) return false;
    MakeKeyPath(hive, key, path);
    return true;
}

using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW is missing from 32-bit Windows XP, which has a single view anyway.
LONG DeleteKeyFromView(HKEY hive, const wchar_t* path, REGSAM view)
{
    FARPROC found = GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW");
    if (found == nullptr) return RegDeleteKeyW(hive, path);
    auto function = reinterpret_cast<RegDeleteKeyExFunction>(reinterpret_cast<void (*)()>(found));
    return function(hive, path, view, 0);
}

struct DeniedWrites {
    HKEY hive = nullptr;
    wchar_t pathPrefix[kKeyPathCapacity] = L"";
};
// A user without rights on the machine is refused both the machine hive and its classes.
constexpr size_t kDeniedWritesRules = 2;
DeniedWrites deniedWrites[kDeniedWritesRules];

bool IsWriteDenied(HKEY hive, const wchar_t* path)
{
    for (const DeniedWrites& rule : deniedWrites) {
        if (rule.hive == nullptr || hive != rule.hive) continue;
        int length = static_cast<int>(wcslen(rule.pathPrefix));
        if (static_cast<int>(wcslen(path)) < length) continue;
        if (CompareStringOrdinal(path, length, rule.pathPrefix, length, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}
}  // namespace

void DenyRegistryWritesForTesting(HKEY hive, const wchar_t* pathPrefix)
{
    if (hive == nullptr) {
        for (DeniedWrites& rule : deniedWrites) rule.hive = nullptr;
        return;
    }
    for (DeniedWrites& rule : deniedWrites) {
        if (rule.hive != nullptr) continue;
        rule.hive = hive;
        CopyText(rule.pathPrefix, pathPrefix != nullptr ? pathPrefix : L"", kKeyPathCapacity);
        return;
    }
}

void MakeKeyPath(HKEY hive, const wchar_t* key, wchar_t* output)
{
    if (hive != HKEY_CURRENT_USER && hive != HKEY_LOCAL_MACHINE) {
        CopyText(output, key, kKeyPathCapacity);
    } else if (key[0] == L'\\') {
        CopyText(output, key + 1, kKeyPathCapacity);
    } else {
        CopyText(output, kProgramRoot, kKeyPathCapacity);
        if (key[0] != L'\0') AppendText(output, L"\\", kKeyPathCapacity);
        AppendText(output, key, kKeyPathCapacity);
    }
}

SettingsStore& Settings()
{
    static SettingsStore store;
    return store;
}

LONG SettingsStore::OpenKeyForReading(HKEY hive, const wchar_t* key, RegKey& opened) const
{
    wchar_t path[kKeyPathCapacity];
    MakeKeyPath(hive, key, path);
    return RegOpenKeyExW(hive, path, 0, kReadingAccess | viewBits_, opened.receive());
}

LONG SettingsStore::CreateKeyForWriting(HKEY hive, const wchar_t* key, RegKey& created) const
{
    wchar_t path[kKeyPathCapacity];
    MakeKeyPath(hive, key, path);
    if (IsWriteDenied(hive, path)) return ERROR_ACCESS_DENIED;
    return RegCreateKeyExW(hive, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | viewBits_, nullptr,
                           created.receive(), nullptr);
}

LONG SettingsStore::SetValue(HKEY hive, const wchar_t* key, const wchar_t* value, DWORD type, const void* data,
                             DWORD size) const
{
    RegKey created;
    LONG status = CreateKeyForWriting(hive, key, created);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExW(created.get(), value, 0, type, static_cast<const BYTE*>(data), size);
}

bool SettingsStore::KeyExists(HKEY hive, const wchar_t* key)
{
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, L"", entry);
    if (route == Route::File) return Ini().Contains(entry, true);
    if (route == Route::Suppressed) return false;
    wchar_t path[kKeyPathCapacity];
    MakeKeyPath(hive, key, path);
    RegKey opened;
    return RegOpenKeyExW(hive, path, 0, KEY_QUERY_VALUE, opened.receive()) == ERROR_SUCCESS;
}

DWORD SettingsStore::ReadNumber(HKEY hive, const wchar_t* key, const wchar_t* value, DWORD defaultNumber)
{
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, value, entry);
    if (route == Route::File) return Ini().FindNumber(entry, defaultNumber);
    if (route == Route::Suppressed) return defaultNumber;
    RegKey opened;
    if (OpenKeyForReading(hive, key, opened) != ERROR_SUCCESS) return defaultNumber;
    // Whatever the value's type: a longer one fails the query and gives the default.
    DWORD number = 0;
    DWORD size = sizeof number;
    LONG status = RegQueryValueExW(opened.get(), value, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
    return status == ERROR_SUCCESS && size > 0 ? number : defaultNumber;
}

bool SettingsStore::ReadString(HKEY hive, const wchar_t* key, const wchar_t* value, wchar_t* buffer,
                               const wchar_t* defaultText, size_t capacity)
{
    CopyText(buffer, defaultText, capacity);
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, value, entry);
    if (route == Route::File) {
        const wchar_t* found = Ini().Find(entry);
        CopyText(buffer, found != nullptr ? found : defaultText, capacity);
        return true;
    }
    if (route == Route::Suppressed) return true;
    RegKey opened;
    if (OpenKeyForReading(hive, key, opened) != ERROR_SUCCESS) return false;
    DWORD size = static_cast<DWORD>(capacity * sizeof(wchar_t));
    if (RegQueryValueExW(opened.get(), value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        CopyText(buffer, defaultText, capacity);
        return false;
    }
    // A value stored with its terminator exactly fills the buffer; one without gets it here.
    size_t count = size / sizeof(wchar_t);
    buffer[count < capacity ? count : capacity - 1] = L'\0';
    return true;
}

LONG SettingsStore::WriteString(HKEY hive, const wchar_t* key, const wchar_t* value, const wchar_t* text)
{
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, value, entry);
    if (route == Route::File) Ini().Set(entry, text, Quoted);
    if (route != Route::Registry) return ERROR_SUCCESS;
    DWORD size = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    return SetValue(hive, key, value, REG_SZ, text, size);
}

LONG SettingsStore::WriteNumber(HKEY hive, const wchar_t* key, const wchar_t* value, DWORD number)
{
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, value, entry);
    if (route == Route::File) Ini().SetNumber(entry, number);
    if (route != Route::Registry) return ERROR_SUCCESS;
    return SetValue(hive, key, value, REG_DWORD, &number, sizeof number);
}

void SettingsStore::DeleteValue(HKEY hive, const wchar_t* key, const wchar_t* value)
{
    wchar_t entry[kEntryNameCapacity];
    Route route = RouteOf(hive, key, value, entry);
    if (route == Route::File) Ini().Remove(entry, value[0] == L'\0');
    if (route != Route::Registry) return;
    wchar_t path[kKeyPathCapacity];
    MakeKeyPath(hive, key, path);
    RegKey opened;
    if (IsWriteDenied(hive, path)) return;
    if (RegOpenKeyExW(hive, path, 0, KEY_WRITE, opened.receive()) == ERROR_SUCCESS)
        RegDeleteValueW(opened.get(), value);
}

void SettingsStore::DeleteKey(HKEY hive, const wchar_t* key)
{
    wchar_t path[kKeyPathCapacity];
    if (KeyDeletionReachesRegistry(hive, key, path) && !IsWriteDenied(hive, path)) RegDeleteKeyW(hive, path);
}

void SettingsStore::DeleteKeyInView(HKEY hive, const wchar_t* key)
{
    wchar_t path[kKeyPathCapacity];
    if (KeyDeletionReachesRegistry(hive, key, path) && !IsWriteDenied(hive, path))
        DeleteKeyFromView(hive, path, viewBits_);
}

// One pass skips the subkeys that move down while their elder siblings go; the passes go on
// until one deletes nothing, so a key that cannot go ends the work instead of looping.
void SettingsStore::DeleteKeyTree(HKEY hive, const wchar_t* key)
{
    wchar_t path[kKeyPathCapacity];
    if (!KeyDeletionReachesRegistry(hive, key, path)) return;
    do {
        deletedCount_ = 0;
        DeleteTreePass(hive, path);
    } while (deletedCount_ > 0);
}

void SettingsStore::DeleteTreePass(HKEY hive, const wchar_t* path)
{
    if (path[0] == L'\0') return;  // a hive root is never deleted
    {
        RegKey opened;
        if (RegOpenKeyExW(hive, path, 0, KEY_READ, opened.receive()) != ERROR_SUCCESS) return;
        wchar_t name[kSubkeyNameCapacity];
        wchar_t child[kKeyPathCapacity];
        for (DWORD index = 0;; ++index) {
            DWORD length = kSubkeyNameCapacity;
            if (RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) break;
            // A child path that does not fit is not followed: cut, it would name another key,
            // or this very key again without end.
            if (FormatText(child, kKeyPathCapacity, L"%s\\%s", path, name) >= 0) DeleteTreePass(hive, child);
        }
    }
    if (!IsWriteDenied(hive, path) && RegDeleteKeyW(hive, path) == ERROR_SUCCESS) ++deletedCount_;
}

void SettingsStore::SetRegistryView(DWORD accessBits) { viewBits_ = accessBits; }

bool SettingsStore::IsIntegrationEnabled() const { return Ini().IsIntegrationEnabled(); }

bool SettingsStore::SaveSettingsFile() { return Ini().Save(); }

DWORD SettingsStore::ReadUserNumber(const wchar_t* key, const wchar_t* value, DWORD defaultNumber)
{
    return ReadNumber(HKEY_CURRENT_USER, key, value, defaultNumber);
}

bool SettingsStore::ReadUserString(const wchar_t* key, const wchar_t* value, wchar_t* buffer,
                                   const wchar_t* defaultText, size_t capacity)
{
    return ReadString(HKEY_CURRENT_USER, key, value, buffer, defaultText, capacity);
}

LONG SettingsStore::WriteUserString(const wchar_t* key, const wchar_t* value, const wchar_t* text)
{
    return WriteString(HKEY_CURRENT_USER, key, value, text);
}

LONG SettingsStore::WriteUserNumber(const wchar_t* key, const wchar_t* value, DWORD number)
{
    return WriteNumber(HKEY_CURRENT_USER, key, value, number);
}

void SettingsStore::DeleteUserValue(const wchar_t* key, const wchar_t* value)
{
    DeleteValue(HKEY_CURRENT_USER, key, value);
}

}  // namespace tvx
