// The archiver's shortcuts: one on the desktop, one in the Start menu and the program group
// "Talvex" in the user's and the all users' Programs folder, made through the shell link
// object or removed. Called by the apply pass and, with an all-off record, the uninstaller.
#pragma once
#include <cstddef>
#include "integration/integration_options.h"

namespace tvx {

// groupFolder (may be nullptr, with capacity 0) receives the program group's folder when
// the record asks for the group; icon (may be nullptr) is the icon file of the archiver's
// shortcuts. Nothing happens while the INI file has switched the integration off.
void UpdateShortcuts(const IntegrationOptions& options, wchar_t* groupFolder, size_t capacity,
                     const wchar_t* icon);

// Saves a shortcut; loadFirst keeps what an existing one has and the call does not set.
// COM must be initialised on the calling thread. True when the link file was saved.
bool CreateShellLink(bool loadFirst, const wchar_t* target, const wchar_t* linkPath,
                     const wchar_t* workingDirectory, const wchar_t* description,
                     const wchar_t* icon, const wchar_t* arguments);

// A shell folder by CSIDL; false with "unknown_folder" in the buffer when it is not found.
bool GetSpecialFolder(wchar_t* buffer, size_t capacity, int csidl);

// Deletes a folder with everything in it, without the recycle bin. A path that is not a
// folder, or is a link or junction, is left alone.
void DeleteFolderTree(const wchar_t* path);

}  // namespace tvx
