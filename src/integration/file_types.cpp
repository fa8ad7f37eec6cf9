#include "integration/file_types.h"

#include <shlobj.h>
#include "common/paths.h"
#include "common/strings.h"
#include "language/localized_strings.h"
#include "settings/settings_store.h"

namespace tvx {

namespace {

constexpr size_t kCommandCapacity = 2080;
constexpr size_t kKeyCapacity = 512;
constexpr unsigned kFirstVersionWithCapabilities = 0x0600;

const wchar_t kRegisteredApplicationsKey[] = L"\\Software\\RegisteredApplications";
const wchar_t kCapabilitiesKey[] = L"Capabilities";
const wchar_t kFileAssociationsKey[] = L"Capabilities\\FileAssociations";
const wchar_t kApplicationName[] = L"Talvex";

struct FileTypeRow {
    const wchar_t* key;
    uint32_t description;
    const wchar_t* iconFormat;  // icon index in Talvex.exe
};

const FileTypeRow kTvxType = {kFileTypeTvx, IDS_TALVEXARC, L"%s,0"};
const FileTypeRow kZipType = {kFileTypeZip, IDS_TALVEXZIPARC, L"%s,0"};
const FileTypeRow kRevType = {kFileTypeRev, IDS_TVXRECVOL, L"%s,1"};

// Writes one class key; an icon the user chose for the type stays. Returns the status of
// the first write and writes nothing more when that was refused.
LONG WriteFileType(const FileTypeRow& row, const wchar_t* exe, const wchar_t* command)
{
    SettingsStore& store = Settings();
    LONG status = store.WriteString(HKEY_CLASSES_ROOT, row.key, L"", GetLocalizedString(row.description));
    if (status == ERROR_ACCESS_DENIED) return status;
    wchar_t key[kKeyCapacity];
    FormatText(key, kKeyCapacity, L"%s\\shell\\open\\command", row.key);
    store.WriteString(HKEY_CLASSES_ROOT, key, L"", command);
    FormatText(key, kKeyCapacity, L"%s\\DefaultIcon", row.key);
    wchar_t icon[kCommandCapacity];
    store.ReadString(HKEY_CLASSES_ROOT, key, L"", icon, L"", kPathCapacity);
    if (icon[0] == L'\0') {
        FormatText(icon, kCommandCapacity, row.iconFormat, exe);
        store.WriteString(HKEY_CLASSES_ROOT, key, L"", icon);
    }
    return status;
}

void RegisterApplication()
{
    SettingsStore& store = Settings();
    store.WriteString(HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, kApplicationName,
                      L"Software\\Talvex\\Capabilities");
    store.WriteString(HKEY_LOCAL_MACHINE, kCapabilitiesKey, L"ApplicationDescription", kApplicationName);
    wchar_t extension[kExtensionCapacity];
    for (const ArchiveType& type : ArchiveTypeTable) {
        const wchar_t* next = type.extensionGroup;
        while ((next = NextExtension(next, extension, kExtensionCapacity)) != nullptr)
            store.WriteString(HKEY_LOCAL_MACHINE, kFileAssociationsKey, extension, type.fileType);
    }
}

}  // namespace

bool RegisterFileTypes()
{
    wchar_t exe[kCommandCapacity];
    wchar_t command[kCommandCapacity];
    GetProgramSiblingPath(kArchiverFileName, exe, kCommandCapacity);
    FormatText(command, kCommandCapacity, L"\"%s\" \"%%1\"", exe);
    if (WriteFileType(kTvxType, exe, command) == ERROR_ACCESS_DENIED) return false;
    WriteFileType(kZipType, exe, command);
    Settings().WriteString(HKEY_CLASSES_ROOT, L".rev", L"", kFileTypeRev);
    WriteFileType(kRevType, exe, command);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return true;
}

void RegisterCapabilities(IntegrationDirection direction)
{
    if (WindowsVersion() < kFirstVersionWithCapabilities) return;
    if (direction == IntegrationDirection::Remove)
        Settings().DeleteValue(HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, kApplicationName);
    else
        RegisterApplication();
}

}  // namespace tvx
