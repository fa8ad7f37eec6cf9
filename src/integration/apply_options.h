// Applying a whole record of integration choices: the archiver's application path first
// (where the process learns whether it may write the machine-wide registry), then the shell
// extension, the associations, the file types and the shortcuts. Called by the setup dialog.
#pragma once
#include <cstddef>
#include "integration/integration_options.h"

namespace tvx {

// Registers Talvex.exe under App Paths in both registry views and notes it as exe32.
// False, with nothing written, when the first machine-wide write is refused.
bool RegisterAppPaths();

// groupFolder (capacity in characters) receives the program group's folder when one is
// made. False when the machine-wide registry may not be written: refused on the
// application path, nothing at all has changed; refused on the file types, the extensions
// are already taken but no shortcut is touched.
bool ApplyIntegrationOptions(const IntegrationOptions& options, wchar_t* groupFolder,
                             size_t capacity);

}  // namespace tvx
