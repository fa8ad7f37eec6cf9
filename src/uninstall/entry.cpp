#include "uninstall/entry.h"

#include <ole2.h>
#include <shellapi.h>
#include <cwchar>
#include "common/fileops.h"
#include "common/handles.h"
#include "common/paths.h"
#include "common/strings.h"
#include "language/language_module.h"
#include "language/language_table.h"
#include "language/localized_strings.h"
#include "uninstall/modes.h"
#include "uninstall/run_options.h"
#include "uninstall/switches.h"

namespace tvx {

namespace {
constexpr wchar_t kLanguageFileName[] = L"uninstall.lng";
constexpr wchar_t kRichEditLibrary[] = L"riched20.dll";
constexpr wchar_t kIniFileName[] = L"talvex.ini";
// The self-extracting installer hands its switches and its own path to the program.
constexpr wchar_t kSwitchVariable[] = L"sfxcmd";
constexpr wchar_t kInstallerVariable[] = L"sfxname";
// Time for the uninstalling process, which started the self-removal script, to end.
constexpr DWORD kWaitMilliseconds = 2000;

ShellOpenFunction shellOpenForTesting = nullptr;

// Empty when the variable is absent or does not fit.
void ReadEnvironmentText(const wchar_t* name, wchar_t* out, size_t capacity)
{
    DWORD length = GetEnvironmentVariableW(name, out, static_cast<DWORD>(capacity));
    if (length == 0 || length >= capacity) out[0] = L'\0';
}

// Start-up and shut-down around the run: the process is prepared in the constructor and
// left in the destructor, also when TVX_EXIT passes through.
class ProcessSession {
public:
    explicit ProcessSession(HINSTANCE instance)
    {
        HardenDllSearchPath(true);
        LoadLanguageModule(instance, nullptr);
        Languages().Load(kLanguageFileName);
        oleReady_ = SUCCEEDED(OleInitialize(nullptr));
        richEdit_.reset(LoadSystemDll(kRichEditLibrary));
        CreateUserInterfaceHandles();
    }
    ~ProcessSession()
    {
        richEdit_.reset();
        if (oleReady_) OleUninitialize();
        ReleaseUserInterfaceHandles();
    }
    ProcessSession(const ProcessSession&) = delete;
    ProcessSession& operator=(const ProcessSession&) = delete;

private:
    bool oleReady_ = false;
    ModuleHandle richEdit_;  // the dialogs' rich edit control class
};

void ShowCannotDeleteWarning()
{
    wchar_t path[kPathCapacity];
    GetProgramPath(path, kPathCapacity);
    wchar_t message[kMessageCapacity];
    BuildCannotDeleteMessage(path, message, kMessageCapacity);
    ShowMessageBox(nullptr, message, GetLocalizedString(IDS_UNINSTALLTVX),
                   MB_SETFOREGROUND | MB_ICONINFORMATION);
}

class EntryEffects final : public SwitchEffects {
public:
    void Wait() override { Sleep(kWaitMilliseconds); }
    void ShowCannotDeleteWarning() override { tvx::ShowCannotDeleteWarning(); }
};

void Warn32BitEditionOn64BitWindows()
{
    if (!RunningUnderWow64() || Options().silent || IsNativeIa64()) return;
    ShowMessageBox(nullptr, GetLocalizedString(IDS_WARN32BIT), GetLocalizedString(IDS_UNINSTTITLE),
                   MB_ICONINFORMATION);
}

void RunSetupMode()
{
    if (!RunSetupDialog()) return;
    CopyIniFromInstaller();
    if (!Options().msi) {
        RunCompletionDialog();
        Warn32BitEditionOn64BitWindows();
    }
    OpenFolderAfterSetup();
}
}  // namespace

int RunProgram(HINSTANCE instance)
{
    ProcessSession session(instance);
    EntryEffects effects;
    bool setupMode = false;
    bool uninstallMode = false;
    wchar_t switchText[kLineCapacity];
    ReadEnvironmentText(kSwitchVariable, switchText, kLineCapacity);
    ParseSwitches(true, switchText, setupMode, uninstallMode, effects);
    ParseSwitches(false, GetCommandLineW(), setupMode, uninstallMode, effects);
    if (setupMode) RunSetupMode();
    if (uninstallMode) RunUninstall();
    return Options().exitCode;
}

void BuildCannotDeleteMessage(const wchar_t* programPath, wchar_t* message, size_t capacity)
{
    FormatText(message, capacity, L"%s\n", GetLocalizedString(IDS_UNINSTALLCOMPLETED));
    size_t length = wcsnlen(message, capacity);
    FormatWithText(message + length, capacity - length, GetLocalizedString(IDS_UNINSTALLSHOULDDELETE),
                   programPath);
}

void CopyIniFromInstaller()
{
    wchar_t dataFolder[kPathCapacity];
    GetAppDataFolder(dataFolder, kPathCapacity, false);
    wchar_t present[kPathCapacity];
    JoinPath(dataFolder, kIniFileName, present, kPathCapacity);
    if (FileExists(present)) return;
    wchar_t source[kPathCapacity];
    ReadEnvironmentText(kInstallerVariable, source, kPathCapacity);
    if (source[0] == L'\0') return;
    ReplaceNamePart(source, kIniFileName, kPathCapacity);
    // Never over a settings file that is already there.
    if (FileExists(source)) CopyFileW(source, kIniFileName, TRUE);
}

void OpenFolderAfterSetup()
{
    const RunOptions& options = Options();
    if (options.folderToOpen[0] == L'\0' || options.silent || options.msi || options.noExplorer) return;
    if (!FileExists(options.folderToOpen)) return;
    ShellOpenFunction open = shellOpenForTesting != nullptr ? shellOpenForTesting : &ShellExecuteW;
    open(nullptr, L"open", options.folderToOpen, nullptr, L"", SW_SHOWNORMAL);
}

void SetShellOpenForTesting(ShellOpenFunction function)
{
    shellOpenForTesting = function;
}

}  // namespace tvx
