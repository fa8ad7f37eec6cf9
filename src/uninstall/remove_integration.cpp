#include "uninstall/remove_integration.h"
#include <windows.h>
#include <shlobj.h>
#include "integration/associations.h"
#include "integration/integration_options.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "settings/settings_store.h"
#include "uninstall/run_options.h"

namespace tvx {

namespace {

const wchar_t kUninstallEntryKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";
const wchar_t kAppPathsKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";
// The program's file types and the extension of recovery volumes.
const wchar_t* const kClassKeys[] = {kFileTypeTvx, kFileTypeZip, kFileTypeRev, L".rev"};

// Setup writes the application path into both registry views; where the views share the
// key, the second deletion finds nothing left.
void DeleteKeyInBothViews(HKEY hive, const wchar_t* key)
{
    Settings().DeleteKeyInView(hive, key);
    SelectRegistryView(true);
    Settings().DeleteKeyInView(hive, key);
    SelectRegistryView(false);
}

// An extension that still points at the program's types could not be released (its class
// key was refused).
bool AnyExtensionStillHeld()
{
    wchar_t extension[kExtensionCapacity];
    for (const ArchiveType& type : ArchiveTypeTable) {
        const wchar_t* next = type.extensionGroup;
        while ((next = NextExtension(next, extension, kExtensionCapacity)) != nullptr)
            if (IsOwnAssociation(extension)) return true;
    }
    return false;
}

}  // namespace

void RemoveIntegration()
{
    const IntegrationOptions allOff{};
    AssociateAllTypes(allOff);
    // Flushed, so the shell has the news before the engine goes on.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
    UpdateShellRegistration(IntegrationDirection::Remove, allOff);
    UpdateShortcuts(allOff, nullptr, 0, nullptr);
    for (const wchar_t* key : kClassKeys) Settings().DeleteKeyTree(HKEY_CLASSES_ROOT, key);
    // The user's settings hold the only record of the former handler of an extension that
    // is still held; they stay, so that a run with the rights can still give it back.
    if (!AnyExtensionStillHeld()) Settings().DeleteKeyTree(HKEY_CURRENT_USER, L"");
    if (Options().msi) return;
    Settings().DeleteKey(HKEY_LOCAL_MACHINE, kUninstallEntryKey);
    DeleteKeyInBothViews(HKEY_LOCAL_MACHINE, kAppPathsKey);
}

}  // namespace tvx
