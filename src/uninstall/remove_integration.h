// Taking back everything setup put into the shell and the registry, before the uninstall run
// deletes any file: the integration engine fed an all-off record (associations, shell
// extension, capabilities, shortcuts), then the program's remaining keys.
#pragma once

namespace tvx {

// Every step is attempted whatever the earlier ones did; nothing is reported. Under an
// installer package (/msi) the uninstall entry and the application path stay: the package
// owns them.
void RemoveIntegration();

}  // namespace tvx
