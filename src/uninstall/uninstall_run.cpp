#include "uninstall/uninstall_run.h"
#include <cwchar>
#include <iterator>
#include "common/fileops.h"
#include "common/paths.h"
#include "language/language_module.h"
#include "language/localized_strings.h"
#include "settings/ini_settings.h"
#include "settings/settings_store.h"
#include "uninstall/entry.h"
#include "uninstall/modes.h"
#include "uninstall/removal_script.h"
#include "uninstall/remove_integration.h"
#include "uninstall/run_options.h"

namespace tvx {

namespace {

constexpr size_t kListErrorCapacity = 200;
const wchar_t* const kHelpIndexFiles[] = {L"talvex.gid", L"talvex.fts"};

bool GetScriptPath(wchar_t* scriptPath)
{
    DWORD length = GetTempPathW(kPathCapacity, scriptPath);
    if (length == 0 || length >= kPathCapacity) return false;
    AppendText(scriptPath, kScriptName, kPathCapacity);
    return true;
}

// The script starts from the product folder's parent, so that the folder is nobody's
// current folder when the script removes it.
bool WriteAndStartScript(const wchar_t* programPath, const wchar_t* finalFolder, bool silent)
{
    wchar_t scriptPath[kPathCapacity];
    if (!GetScriptPath(scriptPath) ||
        !WriteRemovalScript(scriptPath, programPath, finalFolder, silent)) {
        return false;
    }
    SetCurrentDirectoryW(L"..");
    if (StartRemovalScript(scriptPath)) return true;
    DeleteFileLong(scriptPath);
    return false;
}

}  // namespace

bool GetProgramFolder(const wchar_t* programPath, wchar_t* folder, size_t capacity)
{
    CopyText(folder, programPath, capacity);
    wchar_t* backslash = std::wcsrchr(folder, L'\\');
    if (backslash == nullptr) return false;
    bool driveRoot = backslash != folder && backslash[-1] == L':';
    backslash[driveRoot ? 1 : 0] = L'\0';
    return true;
}

bool ConfirmUninstall()
{
    return ShowMessageBox(nullptr, GetLocalizedString(IDS_CONTINUEUNINSTALL),
                          GetLocalizedString(IDS_UNINSTALLTVX),
                          MB_SETFOREGROUND | MB_ICONQUESTION | MB_YESNO) == IDYES;
}

namespace {
void ReportListUnreadable()
{
    wchar_t message[kListErrorCapacity];
    FormatWithText(message, kListErrorCapacity, GetLocalizedString(IDS_CANNOTOPENLIST),
                   kFileListName);
    ShowMessageBox(nullptr, message, GetLocalizedString(IDS_UNINSTALLTVX),
                   MB_SETFOREGROUND | MB_ICONERROR);
}
}  // namespace

bool EnterProgramFolder(const wchar_t* programFolder, bool reportFailure)
{
    if (SetCurrentDirectoryW(programFolder)) return true;
    if (reportFailure) ReportListUnreadable();
    return false;
}

StdioFile OpenFileList(bool reportFailure)
{
    StdioFile list(_wfopen(kFileListName, L"rb"));
    if (!list && reportFailure) ReportListUnreadable();
    return list;
}

void CopyRunTexts(const wchar_t* programPath, RunTexts& texts)
{
    CopyText(texts.reboot, GetLocalizedString(IDS_REBOOTREQUIRED), std::size(texts.reboot));
    CopyText(texts.caption, GetLocalizedString(IDS_UNINSTALLTVX), std::size(texts.caption));
    BuildCannotDeleteMessage(programPath, texts.cannotDelete, kMessageCapacity);
}

// Released, the backend has nothing to write back at exit, when the deletion passes may have
// removed Talvex.ini: a file written then would keep the product folder alive. The run asks
// the store nothing more; if something did, the file would be read afresh from what was
// saved here.
void SaveSettingsForGood()
{
    Settings().SaveSettingsFile();
    Ini().Release();
}

void DeleteHelpIndexFiles()
{
    for (const wchar_t* name : kHelpIndexFiles) {
        SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name);
    }
}

void HandleScheduledFiles(const wchar_t* finalFolder, bool scheduledAtReboot, bool silent,
                          const RunTexts& texts)
{
    if (!scheduledAtReboot || silent) return;
    ShowMessageBox(nullptr, texts.reboot, texts.caption, MB_SETFOREGROUND | MB_ICONINFORMATION);
    if (CompareNames(NamePart(finalFolder), L"Talvex") == 0) {
        MoveFileExW(finalFolder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

void RemoveProgramAndFolder(const wchar_t* programPath, const wchar_t* finalFolder, bool silent,
                            const RunTexts& texts)
{
    if (WriteAndStartScript(programPath, finalFolder, silent) || silent) return;
    ShowMessageBox(nullptr, texts.cannotDelete, texts.caption,
                   MB_SETFOREGROUND | MB_ICONINFORMATION);
}

// Nothing changes before the list is open; from RemoveIntegration on there is no way back.
void RunUninstall()
{
    const bool silent = Options().silent;
    const bool msi = Options().msi;
    wchar_t programPath[kPathCapacity], programFolder[kPathCapacity];
    GetProgramPath(programPath, kPathCapacity);
    if (!GetProgramFolder(programPath, programFolder, kPathCapacity)) return;
    if (!EnterProgramFolder(programFolder, !msi) && !msi) return;
    AddTrailingSeparator(programFolder, kPathCapacity);
    if (!silent && !ConfirmUninstall()) return;
    StdioFile list = OpenFileList(!msi);
    if (!list && !msi) return;
    RunTexts texts;
    CopyRunTexts(programPath, texts);
    RemoveIntegration();
    SaveSettingsForGood();
    ReleaseLanguageModule();
    if (msi) return;
    DeleteHelpIndexFiles();
    bool scheduledAtReboot = DeleteListedEntries(list.get(), programFolder, programPath);
    list.reset();
    DeleteFileW(kFileListName);
    wchar_t finalFolder[kPathCapacity] = L"";
    if (GetCurrentDirectoryW(kPathCapacity, finalFolder) >= kPathCapacity) finalFolder[0] = L'\0';
    HandleScheduledFiles(finalFolder, scheduledAtReboot, silent, texts);
    RemoveProgramAndFolder(programPath, finalFolder, silent, texts);
}

}  // namespace tvx
