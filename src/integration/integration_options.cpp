#include "integration/integration_options.h"

#include "common/paths.h"
#include "common/strings.h"
#include "settings/settings_store.h"

namespace tvx {

const wchar_t kFileTypeTvx[] = L"Talvex";
const wchar_t kFileTypeZip[] = L"Talvex.ZIP";
const wchar_t kFileTypeRev[] = L"Talvex.REV";
const wchar_t kArchiverFileName[] = L"Talvex.exe";

const ArchiveType ArchiveTypeTable[kArchiveTypeCount] = {
    {L".tvx", L".tvx", kFileTypeTvx},
    {L".zip", L".zip", kFileTypeZip},
    {L".cab", L".cab", kFileTypeTvx},
    {L".arj", L".arj", kFileTypeTvx},
    {L".lz", L".lz.tlz", kFileTypeTvx},
    {L".lzh", L".lzh.lha", kFileTypeTvx},
    {L".7z", L".7z", kFileTypeTvx},
    {L".tar", L".tar", kFileTypeTvx},
    {L".gz", L".gz.tgz", kFileTypeTvx},
    {L".uue", L".uue.xxe.uu", kFileTypeTvx},
    {L".bz2", L".bz2.tbz2.bz.tbz", kFileTypeTvx},
    {L".jar", L".jar", kFileTypeTvx},
    {L".iso", L".iso", kFileTypeTvx},
    {L".z", L".z.taz", kFileTypeTvx},
    {L".xz", L".xz.txz", kFileTypeTvx},
    {L".zipx", L".zipx", kFileTypeTvx},
    {L".001", L".001", kFileTypeTvx},
};

namespace {

// A class name is at most 79 characters here; anything longer is nobody's of ours.
constexpr size_t kOwnTypeCapacity = 80;
constexpr size_t kKeyCapacity = 512;

const wchar_t kSetupKey[] = L"Setup";
const wchar_t kLinksKey[] = L"Setup\\Links";
const wchar_t kSetValue[] = L"Set";

wchar_t g_programPathOverride[kPathCapacity] = L"";

struct StoredFlag {
    uint8_t IntegrationOptions::*field;
    const wchar_t* key;
    const wchar_t* value;
    DWORD defaultNumber;
};

// The six flags after the type slots, in the order they are saved.
const StoredFlag kStoredFlags[] = {
    {&IntegrationOptions::desktop, kLinksKey, L"Desktop", 0},
    {&IntegrationOptions::startMenu, kLinksKey, L"StartMenu", 0},
    {&IntegrationOptions::programs, kLinksKey, L"Programs", 1},
    {&IntegrationOptions::shellExt, kSetupKey, L"ShellExt", 1},
    {&IntegrationOptions::cascadedMenu, kSetupKey, L"CascadedMenu", 0},
    {&IntegrationOptions::menuIcons, kSetupKey, L"MenuIcons", 1},
};

void TypeSettingsKey(const ArchiveType& type, wchar_t* key)
{
    FormatText(key, kKeyCapacity, L"Setup\\%s", type.primary);
}

void ReadClassDefault(const wchar_t* extension, wchar_t* buffer)
{
    Settings().ReadString(HKEY_CLASSES_ROOT, extension, L"", buffer, L"", kOwnTypeCapacity);
}

// .jar starts off unless the program already holds it; .iso starts off while another
// program holds it, since those are often handled by a disc tool or a Java runtime.
bool KeepsTypeOn(size_t row)
{
    const wchar_t* primary = ArchiveTypeTable[row].primary;
    if (IsOwnAssociation(primary)) return true;
    wchar_t current[kOwnTypeCapacity];
    ReadClassDefault(primary, current);
    return current[0] == L'\0' && row != kJarRow;
}

}  // namespace

const wchar_t* NextExtension(const wchar_t* group, wchar_t* extension, size_t capacity)
{
    if (group == nullptr || *group == L'\0') return nullptr;
    const wchar_t* end = group + 1;
    while (*end != L'\0' && *end != L'.') ++end;
    size_t length = static_cast<size_t>(end - group);
    if (capacity > 0) {
        size_t kept = length < capacity - 1 ? length : capacity - 1;
        for (size_t i = 0; i < kept; ++i) extension[i] = group[i];
        extension[kept] = L'\0';
    }
    return end;
}

bool IsOwnFileType(const wchar_t* fileType)
{
    return CompareNames(fileType, kFileTypeTvx) == 0 || CompareNames(fileType, kFileTypeZip) == 0;
}

bool IsOwnAssociation(const wchar_t* extension)
{
    wchar_t current[kOwnTypeCapacity];
    ReadClassDefault(extension, current);
    return IsOwnFileType(current);
}

void LoadIntegrationOptions(IntegrationOptions& options)
{
    wchar_t key[kKeyCapacity];
    for (size_t row = 0; row < kArchiveTypeCount; ++row) {
        TypeSettingsKey(ArchiveTypeTable[row], key);
        options.associate[row] = Settings().ReadUserNumber(key, kSetValue, 1) != 0;
        if ((row == kJarRow || row == kIsoRow) && !KeepsTypeOn(row)) options.associate[row] = 0;
    }
    for (const StoredFlag& flag : kStoredFlags)
        options.*flag.field = Settings().ReadUserNumber(flag.key, flag.value, flag.defaultNumber) != 0;
}

void SaveIntegrationOptions(const IntegrationOptions& options)
{
    wchar_t key[kKeyCapacity];
    for (size_t row = 0; row < kArchiveTypeCount; ++row) {
        TypeSettingsKey(ArchiveTypeTable[row], key);
        Settings().WriteUserNumber(key, kSetValue, options.associate[row] != 0);
    }
    for (const StoredFlag& flag : kStoredFlags)
        Settings().WriteUserNumber(flag.key, flag.value, options.*flag.field != 0);
}

void GetProgramSiblingPath(const wchar_t* name, wchar_t* output, size_t capacity)
{
    if (g_programPathOverride[0] != L'\0')
        CopyText(output, g_programPathOverride, capacity);
    else
        GetProgramPath(output, capacity);
    ReplaceNamePart(output, name, capacity);
}

void SetProgramPathForTesting(const wchar_t* path)
{
    CopyText(g_programPathOverride, path != nullptr ? path : L"", kPathCapacity);
}

}  // namespace tvx
