// The program's file types (class keys Talvex, Talvex.ZIP, Talvex.REV with their open command
// and icon, and the .rev extension) and its entry in the system's list of registered
// applications. Called by the apply pass and by the shell-extension driver.
#pragma once
#include "integration/integration_options.h"

namespace tvx {

// False when the first write is refused with ERROR_ACCESS_DENIED (nothing written then).
bool RegisterFileTypes();
// Lists the program with every extension of every archive type, or takes it off the list.
// Only from Windows 6.0 on; earlier versions have no such list.
void RegisterCapabilities(IntegrationDirection direction);

}  // namespace tvx
