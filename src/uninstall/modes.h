// The steps of the two run modes that the entry calls: the integration settings dialog and
// the completion dialog of setup mode, and the uninstall run.
#pragma once

namespace tvx {

// Runs SETUPDLG modally; true when the user pressed OK (or a silent run did).
bool RunSetupDialog();
void RunCompletionDialog();
void RunUninstall();

}  // namespace tvx
