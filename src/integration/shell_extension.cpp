#include "integration/shell_extension.h"

#include <shlobj.h>
#include "common/fileops.h"
#include "common/strings.h"
#include "integration/file_types.h"
#include "settings/settings_store.h"
#include "uninstall/run_options.h"

namespace tvx {

const wchar_t kShellExtensionClsid32[] = L"{5A3C9E10-7B21-4D8F-A4C6-2E9B0D7F1C35}";
const wchar_t kShellExtensionClsid64[] = L"{5A3C9E10-7B21-4D8F-A4C6-2E9B0D7F1C64}";

namespace {

constexpr size_t kKeyCapacity = 1024;
constexpr DWORD kView64 = KEY_WOW64_64KEY;  // 0x0100

const wchar_t kApprovedKey[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const wchar_t kClassKeyFormat[] = L"CLSID\\%s";
const wchar_t kServerKeyFormat[] = L"CLSID\\%s\\InProcServer32";

// What fills the %s of a handler key: the CLSID, the handler name, or nothing.
enum class KeyPart { Clsid, HandlerName, None };

struct HandlerRow {
    const wchar_t* keyFormat;
    KeyPart part;
};

// Entries that name the CLSID as a key get an empty value; all others hold the CLSID.
const HandlerRow kHandlerRows[] = {
    {L"Talvex\\shellex\\ContextMenuHandlers\\%s", KeyPart::Clsid},
    {L"Talvex\\shellex\\PropertySheetHandlers\\%s", KeyPart::Clsid},
    {L"Talvex.ZIP\\shellex\\ContextMenuHandlers\\%s", KeyPart::Clsid},
    {L"Talvex.ZIP\\shellex\\PropertySheetHandlers\\%s", KeyPart::Clsid},
    {L"exefile\\shellex\\PropertySheetHandlers\\%s", KeyPart::Clsid},
    {L"Talvex\\shellex\\DropHandler", KeyPart::None},
    {L"Talvex.ZIP\\shellex\\DropHandler", KeyPart::None},
    {L"*\\shellex\\ContextMenuHandlers\\%s", KeyPart::HandlerName},
    {L"Folder\\shellex\\ContextMenuHandlers\\%s", KeyPart::HandlerName},
    {L"Folder\\shellex\\DragDropHandlers\\%s", KeyPart::HandlerName},
    {L"Drive\\shellex\\DragDropHandlers\\%s", KeyPart::HandlerName},
    {L"lnkfile\\shellex\\ContextMenuHandlers\\%s", KeyPart::HandlerName},
};

// Written by earlier versions only; removing still takes them away.
const HandlerRow kFormerHandlerRows[] = {
    {L"Directory\\shellex\\ContextMenuHandlers\\%s", KeyPart::HandlerName},
    {L"Directory\\shellex\\DragDropHandlers\\%s", KeyPart::HandlerName},
};

void HandlerKey(const HandlerRow& row, const wchar_t* clsid, const wchar_t* handlerName, wchar_t* key)
{
    FormatText(key, kKeyCapacity, row.keyFormat, row.part == KeyPart::HandlerName ? handlerName : clsid);
}

void WriteClassKeys(const wchar_t* clsid, const wchar_t* library, bool is64)
{
    SettingsStore& store = Settings();
    wchar_t key[kKeyCapacity];
    SelectRegistryView(is64);
    FormatText(key, kKeyCapacity, kClassKeyFormat, clsid);
    store.WriteString(HKEY_CLASSES_ROOT, key, L"", L"Talvex");
    FormatText(key, kKeyCapacity, kServerKeyFormat, clsid);
    store.WriteString(HKEY_CLASSES_ROOT, key, L"", library);
    store.WriteString(HKEY_CLASSES_ROOT, key, L"ThreadingModel", L"Apartment");
    SelectRegistryView(false);
}

// Both views: a 64-bit library's keys live in the 64-bit view, which a plain deletion from
// a 32-bit process does not reach.
void DeleteClassKeys(const wchar_t* clsid)
{
    SettingsStore& store = Settings();
    wchar_t server[kKeyCapacity];
    wchar_t classKey[kKeyCapacity];
    FormatText(server, kKeyCapacity, kServerKeyFormat, clsid);
    FormatText(classKey, kKeyCapacity, kClassKeyFormat, clsid);
    store.DeleteKey(HKEY_CLASSES_ROOT, server);
    store.DeleteKey(HKEY_CLASSES_ROOT, classKey);
    if (!RunningUnderWow64()) return;
    SelectRegistryView(true);
    store.DeleteKeyInView(HKEY_CLASSES_ROOT, server);
    store.DeleteKeyInView(HKEY_CLASSES_ROOT, classKey);
    SelectRegistryView(false);
}

void Register(const wchar_t* fileName, const wchar_t* clsid, const wchar_t* handlerName, bool is64)
{
    SettingsStore& store = Settings();
    wchar_t library[kPathCapacity];
    GetProgramSiblingPath(fileName, library, kPathCapacity);
    if (FileExists(library)) WriteClassKeys(clsid, library, is64);
    wchar_t key[kKeyCapacity];
    for (const HandlerRow& row : kHandlerRows) {
        HandlerKey(row, clsid, handlerName, key);
        store.WriteString(HKEY_CLASSES_ROOT, key, L"", row.part == KeyPart::Clsid ? L"" : clsid);
    }
    store.WriteString(HKEY_LOCAL_MACHINE, kApprovedKey, clsid, L"Talvex shell extension");
}

void Unregister(const wchar_t* clsid, const wchar_t* handlerName)
{
    SettingsStore& store = Settings();
    DeleteClassKeys(clsid);
    wchar_t key[kKeyCapacity];
    for (const HandlerRow& row : kHandlerRows) {
        HandlerKey(row, clsid, handlerName, key);
        store.DeleteKey(HKEY_CLASSES_ROOT, key);
    }
    for (const HandlerRow& row : kFormerHandlerRows) {
        HandlerKey(row, clsid, handlerName, key);
        store.DeleteKey(HKEY_CLASSES_ROOT, key);
    }
    store.DeleteValue(HKEY_LOCAL_MACHINE, kApprovedKey, clsid);
}

}  // namespace

void SelectRegistryView(bool want64)
{
    if (!want64)
        Settings().SetRegistryView(0);
    else if (RunningUnderWow64())
        Settings().SetRegistryView(kView64);
}

void RegisterShellExtension(bool enable, const wchar_t* fileName, const wchar_t* clsid,
                            const wchar_t* handlerName, bool is64)
{
    if (enable)
        Register(fileName, clsid, handlerName, is64);
    else
        Unregister(clsid, handlerName);
}

void UpdateShellRegistration(IntegrationDirection direction, const IntegrationOptions& options)
{
    bool enable = options.shellExt != 0;
    bool wow64 = RunningUnderWow64();
    RegisterShellExtension(enable, L"tvxext.dll", kShellExtensionClsid32, wow64 ? L"Talvex32" : L"Talvex",
                           false);
    // Second, so that the drop handlers of both file types name the 64-bit library.
    if (wow64) RegisterShellExtension(enable, L"tvxext64.dll", kShellExtensionClsid64, L"Talvex", true);
    RegisterCapabilities(direction);
    if (direction == IntegrationDirection::Remove) Settings().DeleteKeyTree(HKEY_LOCAL_MACHINE, L"");
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace tvx
