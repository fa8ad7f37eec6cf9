// The steps of the uninstall run (RunUninstall, declared with the other run modes): the
// confirmation, the file list, the integration taken back, the listed files deleted, the
// restart notice, and the self-removal script that takes the program and its folder last.
#pragma once
#include <windows.h>
#include <cstddef>
#include "common/strings.h"
#include "uninstall/uninstall_list.h"

namespace tvx {

// The texts shown after the language library is gone, copied while it is still loaded.
struct RunTexts {
    wchar_t reboot[256];
    wchar_t caption[256];
    wchar_t cannotDelete[kMessageCapacity];
};

// The folder part of the program's path; a drive root keeps its backslash ("X:\"). False
// when the path holds no backslash.
bool GetProgramFolder(const wchar_t* programPath, wchar_t* folder, size_t capacity);

// Makes the program's folder the current one, where the run finds Uninstall.lst and the help
// index files and from where it reads the folder the script removes. When that fails, any
// list in the current folder is somebody else's: the user is told, as for a missing list,
// unless reportFailure is false, and the caller must not go on to delete anything.
bool EnterProgramFolder(const wchar_t* programFolder, bool reportFailure);

// Asks the user to go on; true for Yes.
bool ConfirmUninstall();

// Opens Uninstall.lst in the current folder. When it cannot be opened, the user is told
// unless reportFailure is false (an installer package's run deletes no file without it).
StdioFile OpenFileList(bool reportFailure);

void CopyRunTexts(const wchar_t* programPath, RunTexts& texts);

// Writes the settings file once more, now without what the integration removal took out,
// and lets no later save bring it back after the listed files are gone.
void SaveSettingsForGood();

// The help index files that the help viewer leaves in the product folder.
void DeleteHelpIndexFiles();

// After files were left to the restart: tells the user (not in a silent run) and schedules
// a product folder named Talvex for removal at restart as well.
void HandleScheduledFiles(const wchar_t* finalFolder, bool scheduledAtReboot, bool silent,
                          const RunTexts& texts);

// Writes the self-removal script into the temporary folder and starts it from the product
// folder's parent. When no script could be started the program stays; the user is told
// unless the run is silent.
void RemoveProgramAndFolder(const wchar_t* programPath, const wchar_t* finalFolder, bool silent,
                            const RunTexts& texts);

}  // namespace tvx
