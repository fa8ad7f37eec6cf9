#include "integration/associations.h"

#include "common/strings.h"
#include "integration/new_templates.h"
#include "settings/settings_store.h"

namespace tvx {

namespace {

constexpr size_t kKeyCapacity = 512;
constexpr size_t kFormerTypeCapacity = 512;
constexpr size_t kNullFileCapacity = 10;
constexpr size_t kVolumeNameCapacity = 8;
constexpr unsigned kVolumesTaken = 30;      // .t00 to .t29
constexpr unsigned kVolumesReleased = 100;  // .t00 to .t99: older setups took them all

const wchar_t kMenuItemsKey[] = L"Setup\\MenuItems";
const wchar_t kExistValue[] = L"Exist";
const wchar_t kTypeValue[] = L"Type";
const wchar_t kShellNewValue[] = L"ShellNew";
const wchar_t kFileNameValue[] = L"FileName";
const wchar_t kNullFileValue[] = L"NullFile";
// Saved in place of a template name when the former "New" entry made an empty file.
constexpr wchar_t kNullFileMark = L'*';

struct ExtensionKeys {
    explicit ExtensionKeys(const wchar_t* name) : extension(name)
    {
        FormatText(shellNew, kKeyCapacity, L"%s\\ShellNew", name);
        FormatText(setup, kKeyCapacity, L"Setup\\%s", name);
    }
    const wchar_t* extension;
    wchar_t shellNew[kKeyCapacity];  // <extension>\ShellNew under HKEY_CLASSES_ROOT
    wchar_t setup[kKeyCapacity];     // the saved former handler in the user's settings
};

bool WantsNewTemplate(bool wantNew, bool isTvx, bool isZip)
{
    if (!wantNew) return false;
    if (isTvx && Settings().ReadUserNumber(kMenuItemsKey, L"NewTVX", 1) == 0) return false;
    return !(isZip && Settings().ReadUserNumber(kMenuItemsKey, L"NewZIP", 1) == 0);
}

void SaveFormerHandler(const ExtensionKeys& keys)
{
    SettingsStore& store = Settings();
    wchar_t formerType[kFormerTypeCapacity];
    wchar_t formerTemplate[kPathCapacity];
    wchar_t nullFile[kNullFileCapacity];
    store.ReadString(HKEY_CLASSES_ROOT, keys.extension, L"", formerType, L"", kFormerTypeCapacity);
    store.ReadString(HKEY_CLASSES_ROOT, keys.shellNew, kFileNameValue, formerTemplate, L"",
                     kPathCapacity);
    bool nullTemplate = store.ReadString(HKEY_CLASSES_ROOT, keys.shellNew, kNullFileValue,
                                         nullFile, L"", kNullFileCapacity);
    store.WriteUserNumber(keys.setup, kExistValue, store.KeyExists(HKEY_CLASSES_ROOT, keys.extension));
    store.WriteUserString(keys.setup, kTypeValue, formerType);
    const wchar_t nullMark[] = {kNullFileMark, L'\0'};
    bool onlyNull = formerTemplate[0] == L'\0' && nullTemplate;
    store.WriteUserString(keys.setup, kShellNewValue, onlyNull ? nullMark : formerTemplate);
}

void VolumeName(unsigned number, wchar_t* name)
{
    FormatText(name, kVolumeNameCapacity, L".t%02u", number);
}

void OfferNewTemplate(const ExtensionKeys& keys, bool isTvx)
{
    Settings().DeleteKey(HKEY_CLASSES_ROOT, keys.shellNew);
    wchar_t path[kPathCapacity];
    EnsureNewTemplate(isTvx, path, kPathCapacity);
    Settings().WriteString(HKEY_CLASSES_ROOT, keys.shellNew, kFileNameValue, path);
}

void TakeExtension(const ExtensionKeys& keys, bool isTvx, bool isZip, bool makeNew)
{
    SettingsStore& store = Settings();
    // A second setup finds the extension already ours and keeps the handler saved the first time.
    if (!IsOwnAssociation(keys.extension)) SaveFormerHandler(keys);
    store.WriteString(HKEY_CLASSES_ROOT, keys.extension, L"", isZip ? kFileTypeZip : kFileTypeTvx);
    if (isTvx) {
        wchar_t volume[kVolumeNameCapacity];
        for (unsigned number = 0; number < kVolumesTaken; ++number) {
            VolumeName(number, volume);
            store.WriteString(HKEY_CLASSES_ROOT, volume, L"", kFileTypeTvx);
        }
    }
    if (makeNew && (isTvx || isZip)) OfferNewTemplate(keys, isTvx);
}

// The volume keys go with .tvx: to its former type when one is known, else away. Only the
// keys that still name the program are its work to undo; one that another program has
// taken since, or that never existed, stays as it is.
void ReleaseVolumeKeys(const wchar_t* formerType)
{
    SettingsStore& store = Settings();
    wchar_t volume[kVolumeNameCapacity];
    wchar_t current[kFormerTypeCapacity];
    for (unsigned number = 0; number < kVolumesReleased; ++number) {
        VolumeName(number, volume);
        store.ReadString(HKEY_CLASSES_ROOT, volume, L"", current, L"", kFormerTypeCapacity);
        if (!IsOwnFileType(current)) continue;
        if (formerType != nullptr)
            store.WriteString(HKEY_CLASSES_ROOT, volume, L"", formerType);
        else
            store.DeleteKey(HKEY_CLASSES_ROOT, volume);
    }
}

void ReleaseExtension(const ExtensionKeys& keys, bool existed, bool isTvx, bool isZip)
{
    SettingsStore& store = Settings();
    wchar_t formerType[kFormerTypeCapacity];
    store.ReadUserString(keys.setup, kTypeValue, formerType, L"", kFormerTypeCapacity);
    if (IsOwnFileType(formerType)) formerType[0] = L'\0';
    if (existed) {
        store.WriteString(HKEY_CLASSES_ROOT, keys.extension, L"", formerType);
    } else {
        store.WriteString(HKEY_CLASSES_ROOT, keys.extension, L"", L"");
        // Our own "New" entry first, so that the key the program made can go as a whole.
        if (isTvx || isZip) store.DeleteKey(HKEY_CLASSES_ROOT, keys.shellNew);
        store.DeleteKey(HKEY_CLASSES_ROOT, keys.extension);
    }
    if (isTvx) ReleaseVolumeKeys(existed && formerType[0] != L'\0' ? formerType : nullptr);
}

void RestoreNewTemplate(const ExtensionKeys& keys, bool existed)
{
    SettingsStore& store = Settings();
    if (!existed) {
        store.DeleteKey(HKEY_CLASSES_ROOT, keys.shellNew);
        return;
    }
    wchar_t saved[kPathCapacity];
    store.ReadUserString(keys.setup, kShellNewValue, saved, L"", kPathCapacity);
    store.DeleteValue(HKEY_CLASSES_ROOT, keys.shellNew, kFileNameValue);
    if (saved[0] == L'\0') return;
    if (saved[0] == kNullFileMark)
        store.WriteString(HKEY_CLASSES_ROOT, keys.shellNew, kNullFileValue, L"");
    else
        store.WriteString(HKEY_CLASSES_ROOT, keys.shellNew, kFileNameValue, saved);
}

}  // namespace

void AssociateExtension(const wchar_t* extension, bool associate, bool wantNew, bool isTvx,
                        bool isZip)
{
    PrepareTemplateImages();
    ExtensionKeys keys(extension);
    bool makeNew = WantsNewTemplate(wantNew, isTvx, isZip);
    if (associate) TakeExtension(keys, isTvx, isZip, makeNew);

    // Only what the program holds is ever given back; an extension that stays with the
    // program goes on only when its "New" entry is no longer wanted.
    if (!IsOwnAssociation(extension) || (associate && makeNew)) return;
    bool existed = Settings().ReadUserNumber(keys.setup, kExistValue, 1) != 0;
    if (!associate) ReleaseExtension(keys, existed, isTvx, isZip);
    if (isTvx || isZip) RestoreNewTemplate(keys, existed);
}

void AssociateAllTypes(const IntegrationOptions& options)
{
    wchar_t extension[kExtensionCapacity];
    for (size_t row = 0; row < kArchiveTypeCount; ++row) {
        const wchar_t* next = ArchiveTypeTable[row].extensionGroup;
        while ((next = NextExtension(next, extension, kExtensionCapacity)) != nullptr)
            AssociateExtension(extension, options.associate[row] != 0, options.shellExt != 0,
                               row == kTvxRow, row == kZipRow);
    }
}

}  // namespace tvx
