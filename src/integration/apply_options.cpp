#include "integration/apply_options.h"

#include "common/fileops.h"
#include "common/paths.h"
#include "common/strings.h"
#include "integration/associations.h"
#include "integration/file_types.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "settings/settings_store.h"

namespace tvx {

namespace {

const wchar_t kAppPathsKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Talvex.exe";
const wchar_t kPathValue[] = L"Path";

void WriteAppPath(const wchar_t* exe, const wchar_t* folder)
{
    Settings().WriteString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"", exe);
    Settings().WriteString(HKEY_LOCAL_MACHINE, kAppPathsKey, kPathValue, folder);
}

}  // namespace

bool RegisterAppPaths()
{
    SettingsStore& store = Settings();
    wchar_t exe[kPathCapacity];
    wchar_t folder[kPathCapacity];
    GetProgramSiblingPath(kArchiverFileName, exe, kPathCapacity);
    CopyText(folder, exe, kPathCapacity);
    CutToFolder(folder);
    if (store.WriteString(HKEY_LOCAL_MACHINE, kAppPathsKey, L"", exe) == ERROR_ACCESS_DENIED) return false;
    store.WriteString(HKEY_LOCAL_MACHINE, L"", L"exe32", exe);
    store.WriteString(HKEY_LOCAL_MACHINE, kAppPathsKey, kPathValue, folder);
    // 64-bit programs look the archiver up in their own view.
    SelectRegistryView(true);
    WriteAppPath(exe, folder);
    SelectRegistryView(false);
    return true;
}

bool ApplyIntegrationOptions(const IntegrationOptions& options, wchar_t* groupFolder,
                             size_t capacity)
{
    if (!RegisterAppPaths()) return false;
    UpdateShellRegistration(IntegrationDirection::Setup, options);
    AssociateAllTypes(options);
    if (!RegisterFileTypes()) return false;
    wchar_t icon[kPathCapacity];
    Settings().ReadUserString(L"Interface\\Themes", L"ShellExtIcon", icon, L"", kPathCapacity);
    bool haveIcon = icon[0] != L'\0' && FileExists(icon);
    UpdateShortcuts(options, groupFolder, capacity, haveIcon ? icon : nullptr);
    return true;
}

}  // namespace tvx
