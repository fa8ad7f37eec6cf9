#include "language/language_module.h"

#include <cwchar>
#include "common/fileops.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/strings.h"

namespace tvx {

namespace {

constexpr wchar_t kGeneralKey[] = L"Software\\Talvex\\General";
constexpr wchar_t kLanguageFolderValue[] = L"LanguageFolder";
constexpr wchar_t kLanguageLibraryName[] = L"tvxlng.dll";
// The folder is read into a path buffer and must leave room for the name behind it.
constexpr size_t kFolderQueryBytes = (kPathCapacity - 1) * sizeof(wchar_t);

struct LanguageModuleState {
    HMODULE ownModule = nullptr;
    ModuleHandle library;  // the one owner of the language library until it is released
};

LanguageModuleState& State()
{
    static LanguageModuleState state;
    return state;
}

// Read straight from the registry, even when the other settings live in Talvex.ini: the
// language is chosen before the settings backend exists. False when there is no usable
// folder, including an empty one, which would otherwise name the current folder.
bool ReadLanguageFolder(size_t nameLength, wchar_t* folder)
{
    if (nameLength * sizeof(wchar_t) >= kFolderQueryBytes) return false;
    RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kGeneralKey, 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(kFolderQueryBytes - nameLength * sizeof(wchar_t));
    LONG status = RegQueryValueExW(key.get(), kLanguageFolderValue, nullptr, &type,
                                   reinterpret_cast<BYTE*>(folder), &size);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    // The stored text need not be terminated, and may fill all the bytes allowed.
    folder[size / sizeof(wchar_t)] = L'\0';
    return folder[0] != L'\0';
}

// The language-folder form of name in path; false when there is none or it does not fit.
bool LanguageFolderPath(const wchar_t* name, wchar_t* path)
{
    wchar_t folder[kPathCapacity];
    if (!ReadLanguageFolder(wcslen(name), folder)) return false;
    DWORD expanded = ExpandEnvironmentStringsW(folder, path, kPathCapacity);
    if (expanded == 0 || expanded > kPathCapacity) return false;
    const wchar_t* namePart = NamePart(name);
    // A cut path could name some other file, so an overlong one is not used at all.
    if (wcslen(path) + 1 + wcslen(namePart) >= kPathCapacity) return false;
    AddTrailingSeparator(path, kPathCapacity);
    AppendText(path, namePart, kPathCapacity);
    return true;
}

}  // namespace

void ApplyLanguageFolder(const wchar_t* name, wchar_t* out, size_t capacity)
{
    if (capacity == 0) return;
    if (out != name) CopyText(out, name, capacity);
    wchar_t path[kPathCapacity];
    if (!LanguageFolderPath(name, path)) return;
    if (FileExists(path) && wcslen(path) < capacity) CopyText(out, path, capacity);
}

void LoadLanguageModule(HMODULE ownModule, const wchar_t* path)
{
    ReleaseLanguageModule();
    State().ownModule = ownModule;
    wchar_t libraryPath[kPathCapacity];
    if (path != nullptr) {
        CopyText(libraryPath, path, kPathCapacity);
    } else {
        GetProgramPath(libraryPath, kPathCapacity);
        ReplaceNamePart(libraryPath, kLanguageLibraryName, kPathCapacity);
    }
    ApplyLanguageFolder(libraryPath, libraryPath, kPathCapacity);
    // Where the system can map a library as plain data, none of the library's code runs
    // in this process; older systems cannot take resources from such a mapping.
    HMODULE library = WindowsVersion() > 0x0501
                          ? LoadLibraryExW(libraryPath, nullptr, LOAD_LIBRARY_AS_DATAFILE)
                          : LoadLibraryW(libraryPath);
    State().library.reset(library);
}

void ReleaseLanguageModule()
{
    State().library.reset();
}

HMODULE ResourceModule()
{
    return State().library.valid() ? State().library.get() : OwnModule();
}

HMODULE OwnModule()
{
    HMODULE own = State().ownModule;
    return own != nullptr ? own : GetModuleHandleW(nullptr);
}

}  // namespace tvx
