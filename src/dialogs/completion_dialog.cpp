#include "dialogs/completion_dialog.h"
#include <shellapi.h>
#include "common/fileops.h"
#include "common/paths.h"
#include "common/strings.h"
#include "dialogs/help_viewer.h"
#include "language/dialog_localization.h"
#include "language/language_module.h"
#include "language/localized_strings.h"
#include "resources/resource.h"
#include "settings/settings_store.h"
#include "uninstall/run_options.h"

namespace tvx {

const wchar_t kUninstallEntryKey[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex archiver";

namespace {

constexpr int kVersionMajor = 6;
constexpr int kVersionMinor = 2;
constexpr int kVersionBuild = 0;
constexpr size_t kVersionCapacity = 100;

ShellExecuteFunction testShellExecute = nullptr;

void WriteEntryString(const wchar_t* value, const wchar_t* text)
{
    Settings().WriteString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, value, text);
}

void WriteEntryNumber(const wchar_t* value, DWORD number)
{
    Settings().WriteNumber(HKEY_LOCAL_MACHINE, kUninstallEntryKey, value, number);
}

void WriteVersionValues()
{
    wchar_t version[kVersionCapacity];
    wchar_t name[kPathCapacity];
    FormatText(version, kVersionCapacity, L"%d.%02d", kVersionMajor, kVersionMinor);
    FormatText(name, kPathCapacity, L"Talvex %s (%s)", version, GetLocalizedString(IDS_32BIT));
    WriteEntryString(L"DisplayName", name);
    FormatText(version, kVersionCapacity, L"%d.%02d.%d", kVersionMajor, kVersionMinor,
               kVersionBuild);
    WriteEntryString(L"DisplayVersion", version);
    WriteEntryNumber(L"VersionMajor", kVersionMajor);
    WriteEntryNumber(L"VersionMinor", kVersionMinor);
}

// An icon chosen by an earlier installation (or by the user) is kept while it exists.
void WriteDisplayIcon(const wchar_t* programPath)
{
    wchar_t icon[kPathCapacity];
    Settings().ReadString(HKEY_LOCAL_MACHINE, kUninstallEntryKey, L"DisplayIcon", icon, L"",
                          kPathCapacity);
    if (icon[0] != L'\0' && FileExists(icon)) return;
    CopyText(icon, programPath, kPathCapacity);
    ReplaceNamePart(icon, L"Talvex.exe", kPathCapacity);
    WriteEntryString(L"DisplayIcon", icon);
}

void ShellOpen(const wchar_t* target)
{
    ShellExecuteFunction open = testShellExecute != nullptr ? testShellExecute : ShellExecuteW;
    open(nullptr, L"open", target, nullptr, L"", SW_SHOWNORMAL);
}

void OpenLicense()
{
    wchar_t path[kPathCapacity] = L"";
    GetCurrentDirectoryW(kPathCapacity, path);
    AddTrailingSeparator(path, kPathCapacity);
    AppendText(path, L"license.txt", kPathCapacity);
    ApplyLanguageFolder(path, path, kPathCapacity);
    ShellOpen(path);
}

void OnInitCompletion(HWND window)
{
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon()));
    SendDlgItemMessageW(window, IDC_THANKS, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont()),
                        FALSE);
    wchar_t folder[kPathCapacity] = L"";
    GetCurrentDirectoryW(kPathCapacity, folder);
    SetDlgItemTextW(window, IDC_INSTFOLDERPATH, folder);
    KeepLeftToRight(GetDlgItem(window, IDC_INSTFOLDERPATH));
    if (Options().silent) SendMessageW(window, WM_COMMAND, IDOK, 0);
}

void OnCompletionCommand(HWND window, WORD command)
{
    switch (command) {
    case IDOK:
    case IDCANCEL: EndDialog(window, 1); break;
    case IDC_VIEWHELP: ShowHelp(nullptr); break;
    case IDC_VIEWLICENSE: OpenLicense(); break;
    case IDC_HOMEPAGE: ShellOpen(GetLocalizedString(IDS_HOMEURL)); break;
    default: break;
    }
}

}  // namespace

void WriteUninstallEntry()
{
    wchar_t programPath[kPathCapacity];
    GetProgramPath(programPath, kPathCapacity);
    WriteVersionValues();
    WriteEntryString(L"UninstallString", programPath);
    WriteDisplayIcon(programPath);
    wchar_t folder[kPathCapacity];
    CopyText(folder, programPath, kPathCapacity);
    *NamePart(folder) = L'\0';
    WriteEntryString(L"InstallLocation", folder);
    WriteEntryNumber(L"NoModify", 1);
    WriteEntryNumber(L"NoRepair", 1);
    WriteEntryNumber(L"Language", 0);
    WriteEntryString(L"Publisher", L"Halvorn Software");
}

INT_PTR CALLBACK CompletionDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (HandleCommonDialogMessage(window, message, wParam, lParam, IDD_DONEDLG, nullptr)) {
        return TRUE;
    }
    if (message == WM_INITDIALOG) {
        OnInitCompletion(window);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    OnCompletionCommand(window, LOWORD(wParam));
    return TRUE;
}

void EnableDlgItem(HWND dialog, int controlId, bool enable)
{
    EnableWindow(GetDlgItem(dialog, controlId), enable ? TRUE : FALSE);
}

void SetShellExecuteForTesting(ShellExecuteFunction function)
{
    testShellExecute = function;
}

}  // namespace tvx
